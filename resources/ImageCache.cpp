#include "resources/ImageCache.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "resources/FileSystem.h"
#include "resources/GameFolders.h"

namespace {

std::map<std::string, ALLEGRO_BITMAP*> images;
std::map<std::string, std::string> refusals;  // name -> why its last load failed
std::vector<std::string> pictureFolders;
bool foldersSet = false;

const std::vector<std::string>& Folders()
{
    return foldersSet ? pictureFolders : GameFolders();
}

// The system's reason for the last failed file operation.
std::string FileError()
{
    const int error = al_get_errno() != 0 ? al_get_errno() : errno;
    return std::strerror(error != 0 ? error : EIO);
}

// The file's first bytes, enough for its declared size; false if it cannot be read (a
// folder, for one, opens but cannot be read).
bool ReadStart(const std::string& path, std::string& start)
{
    al_set_errno(0);
    errno = 0;
    ALLEGRO_FILE* file = al_fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char bytes[PNG_SIZE_BYTES];
    const size_t got = al_fread(file, bytes, sizeof bytes);
    const bool failed = al_ferror(file) != 0;
    al_fclose(file);
    start.assign(bytes, got);
    return !failed;
}

bool Refuse(const std::string& name, const std::string& why)
{
    refusals[name] = why;
    return false;
}

const char* const WHERE_TO_START = "start the game in a folder that holds its pictures, or reinstall it";

std::string CannotFind(const std::string& name)
{
    return "cannot find the picture \"" + name + "\": looked in " + DescribeFolders(Folders()) + " (" +
           WHERE_TO_START + ")";
}

// "a, b and c"
std::string Listed(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

// Which of names each folder of the search holds, folder by folder.
std::vector<std::vector<std::string>> Holdings(const std::vector<std::string>& names)
{
    std::vector<std::vector<std::string>> held;
    for (const std::string& folder : Folders()) {
        held.emplace_back();
        for (const std::string& name : names)
            if (IsPresent(PathIn(folder, name)))
                held.back().push_back(name);
    }
    return held;
}

bool Holds(const std::vector<std::string>& held, const std::string& name)
{
    return std::find(held.begin(), held.end(), name) != held.end();
}

std::string NotTogether(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& held)
{
    std::string holdings;
    std::vector<std::string> told;
    for (std::size_t i = 0; i < held.size(); ++i) {
        const std::string folder = DescribeFolders({Folders()[i]});
        if (held[i].empty() || Holds(told, folder))
            continue;
        told.push_back(folder);
        holdings += (holdings.empty() ? "" : ", ") + folder + " holds only " + Listed(held[i]);
    }
    return "cannot find the pictures " + Listed(names) + " together in one folder: " + holdings + " (" +
           WHERE_TO_START + ")";
}

bool LoadImageAt(const std::string& name, const std::string& path);

}  // namespace

void InitImages()
{
    PreloadImages();
}

// The three pictures come from one folder, the first of the search that holds them all: a
// stray picture in the working folder must not mix with an installed game's. When none
// does, what the folder that holds the most has is loaded, and every other picture is told
// missing, with the folders that hold it if any do.
void PreloadImages()
{
    std::vector<std::string> names;
    for (const GamePicture& picture : GAME_PICTURES)
        names.push_back(picture.name);
    const std::vector<std::vector<std::string>> held = Holdings(names);
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < held.size(); ++i)
        if (held[i].size() > held[chosen].size())
            chosen = i;

    for (const std::string& name : names) {
        if (images.count(name) != 0)
            continue;
        const auto holdsIt = [&](const std::vector<std::string>& folder) { return Holds(folder, name); };
        const bool anywhere = std::any_of(held.begin(), held.end(), holdsIt);
        if (!held.empty() && Holds(held[chosen], name))
            LoadImageAt(name, PathIn(Folders()[chosen], name));
        else if (anywhere)
            Refuse(name, NotTogether(names, held));
        else
            Refuse(name, CannotFind(name));
    }
}

PictureSize LeastSizeOf(const std::string& name)
{
    for (const GamePicture& picture : GAME_PICTURES)
        if (name == picture.name)
            return picture.least;
    return PictureSize{};
}

// The game always looks in GameFolders(); tests point the search at folders of their own
// through this, which only their support header declares.
void SetPictureFolders(std::vector<std::string> folders)
{
    pictureFolders = std::move(folders);
    foldersSet = true;
}

bool LoadImage(std::string name)
{
    if (images.count(name) != 0)
        return false;
    const std::string path = FindInFolders(name, Folders());
    if (path.empty())
        return Refuse(name, CannotFind(name));
    return LoadImageAt(name, path);
}

namespace {

bool LoadImageAt(const std::string& name, const std::string& path)
{
    const PictureSize least = LeastSizeOf(name);
    const std::string need = DescribeNeed(least);
    const std::string shown = ShownPath(path);

    // Opening a FIFO would wait for a writer that never comes, and a device can do things of
    // its own: only a regular file is a picture.
    const FileLook look = LookAtFile(path);
    if (look.error == 0 && !look.regular)
        return Refuse(name, "the picture " + shown + " is " + look.kind +
                                ", not a regular file; needed: " + need);

    std::string start;
    if (!ReadStart(path, start))
        return Refuse(name, "cannot read the picture " + shown + ": " + FileError() + "; needed: " + need);
    const HeaderVerdict verdict = CheckPngHeader(start, least);
    if (verdict.kind != HeaderVerdict::FITS)
        return Refuse(name, "the picture " + shown + " " + DescribeVerdict(verdict) + "; needed: " + need);

    // Decode off-screen first: a cut-short PNG can leave a half-made picture tied to the
    // window that then never lets the window close, and turning white transparent is quicker
    // on a picture in memory than on one the graphics driver holds.
    const int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(flags | ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* bitmap = al_load_bitmap(path.c_str());
    al_set_new_bitmap_flags(flags);
    // A file that cannot be decoded leaves no entry, so no caller is ever handed a null picture.
    if (bitmap == nullptr)
        return Refuse(name, "the picture " + shown + " (" + std::to_string(verdict.width) + " x " +
                                std::to_string(verdict.height) + " pixels) cannot be decoded: it is damaged or cut short; needed: " + need);

    // Pure white is the transparent colour of every picture of the game.
    al_convert_mask_to_alpha(bitmap, al_map_rgb(255, 255, 255));
    al_convert_bitmap(bitmap);  // into the window's own kind of picture, when there is a window
    images.emplace(name, bitmap);
    refusals.erase(name);
    return true;
}

}  // namespace

ALLEGRO_BITMAP* GetImage(std::string name)
{
    auto found = images.find(name);
    return found == images.end() ? nullptr : found->second;
}

void UnloadImage(std::string name)
{
    auto found = images.find(name);
    if (found == images.end())
        return;
    al_destroy_bitmap(found->second);
    images.erase(found);
}

void DestroyAllImages()
{
    for (auto& entry : images) {
        al_destroy_bitmap(entry.second);
        entry.second = nullptr;
    }
    images.clear();
    refusals.clear();
}

std::string FirstMissingImage()
{
    for (const GamePicture& picture : GAME_PICTURES)
        if (images.count(picture.name) == 0)
            return picture.name;
    return "";
}

std::string WhyNotLoaded(const std::string& name)
{
    auto found = refusals.find(name);
    return found == refusals.end() ? "" : found->second;
}
