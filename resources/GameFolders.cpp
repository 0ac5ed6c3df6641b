#include "resources/GameFolders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "resources/FileSystem.h"

#ifndef PLATFORMER_DATA_FROM_BIN
#define PLATFORMER_DATA_FROM_BIN "../share/games/platformer"
#endif

namespace fs = std::filesystem;

namespace {

std::string WorkingFolder()
{
    std::error_code error;
    const fs::path here = fs::current_path(error);
    return error ? std::string("the current folder") : here.u8string();
}

}  // namespace

std::vector<std::string> SearchFolders(const std::string& exeFolder, const std::string& dataFromBin)
{
    std::vector<std::string> folders{""};
    if (exeFolder.empty())
        return folders;
    if (!dataFromBin.empty())
        folders.push_back((fs::u8path(exeFolder) / fs::u8path(dataFromBin)).lexically_normal().u8string());
    folders.push_back(fs::u8path(exeFolder).lexically_normal().u8string());
    for (std::string& folder : folders)
        if (folder.size() > 1 && folder.back() == static_cast<char>(fs::path::preferred_separator))
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
    return fs::exists(fs::symlink_status(fs::u8path(path), error));
}

std::string PathIn(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : (fs::u8path(folder) / fs::u8path(name)).u8string();
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
    if (fs::u8path(path).is_absolute())
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
