#include "resources/GameFolders.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifndef PLATFORMER_DATA_FROM_BIN
#define PLATFORMER_DATA_FROM_BIN "../share/games/platformer"
#endif

namespace fs = std::filesystem;

namespace {

// The kernel's link to the running executable, with symbolic links already resolved, so an
// installed game finds its data wherever its prefix is, spaces included. It needs nothing
// from Allegro, so it works before the library starts.
std::string ExecutableFolder()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error || !exe.is_absolute())
        return "";
    return exe.parent_path().string();
}

std::string WorkingFolder()
{
    std::error_code error;
    const fs::path here = fs::current_path(error);
    return error ? std::string("the current folder") : here.string();
}

}  // namespace

std::vector<std::string> SearchFolders(const std::string& exeFolder, const std::string& dataFromBin)
{
    std::vector<std::string> folders{""};
    if (exeFolder.empty())
        return folders;
    if (!dataFromBin.empty())
        folders.push_back((fs::path(exeFolder) / dataFromBin).lexically_normal().string());
    folders.push_back(fs::path(exeFolder).lexically_normal().string());
    for (std::string& folder : folders)
        if (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
    return folders;
}

const std::vector<std::string>& GameFolders()
{
    static const std::vector<std::string> folders = SearchFolders(ExecutableFolder(), PLATFORMER_DATA_FROM_BIN);
    return folders;
}

bool IsPresent(const std::string& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string PathIn(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : (fs::path(folder) / name).string();
}

std::string FindInFolders(const std::string& name, const std::vector<std::string>& folders,
                          const std::function<bool(const std::string&)>& present)
{
    for (const std::string& folder : folders) {
        const std::string path = PathIn(folder, name);
        if (present(path))
            return path;
    }
    return "";
}

std::string ShownPath(const std::string& path)
{
    if (fs::path(path).is_absolute())
        return path;
    return PathIn(WorkingFolder(), path);
}

std::string FindGameFile(const std::string& name)
{
    const std::string path = FindInFolders(name, GameFolders());
    return path.empty() ? name : path;
}

std::string DescribeFolders(const std::vector<std::string>& folders)
{
    std::vector<std::string> shown;
    for (const std::string& folder : folders) {
        const std::string name = folder.empty() ? WorkingFolder() : folder;
        if (std::find(shown.begin(), shown.end(), name) == shown.end())
            shown.push_back(name);
    }
    std::string text;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (i > 0)
            text += i + 1 == shown.size() ? " and " : ", ";
        text += shown[i];
    }
    return text;
}

const char* KindOfFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "something else";
}
