#include "resources/FileSystem.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <vector>

namespace {

// Windows opens non-ASCII names only through its wide-character calls.
bool Widen(const std::string& utf8, std::wstring& wide)
{
    wide.clear();
    if (utf8.empty())
        return true;
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                           static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(static_cast<size_t>(length));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                        length);
    return true;
}

const char* KindOfFile(unsigned mode)
{
    if ((mode & _S_IFMT) == _S_IFDIR)
        return "a folder";
    if ((mode & _S_IFMT) == _S_IFIFO)
        return "a pipe";
    if ((mode & _S_IFMT) == _S_IFCHR)
        return "a device";
    return "something else";
}

}  // namespace

std::string ExecutableFolder()
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return "";
        if (length < name.size())
            break;
        name.resize(name.size() * 2);
    }
    return std::filesystem::path(name.data()).parent_path().u8string();
}

FileLook LookAtFile(const std::string& path)
{
    FileLook look;
    std::wstring wide;
    struct _stat64 info;
    if (!Widen(path, wide)) {
        look.error = EINVAL;
        return look;
    }
    if (_wstat64(wide.c_str(), &info) != 0) {
        look.error = errno;
        return look;
    }
    look.regular = (info.st_mode & _S_IFMT) == _S_IFREG;
    if (!look.regular)
        look.kind = KindOfFile(info.st_mode);
    return look;
}

bool IsMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

FileForReading::FileForReading(const std::string& path)
{
    std::wstring wide;
    if (!Widen(path, wide)) {
        openError_ = EINVAL;
        return;
    }
    handle_ = _wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (handle_ < 0) {
        openError_ = errno;
        return;
    }
    struct _stat64 info;
    if (_fstat64(handle_, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG) {
        regular_ = true;
        size_ = info.st_size;
    }
}

FileForReading::~FileForReading()
{
    if (handle_ >= 0)
        _close(handle_);
}

long FileForReading::Read(char* into, std::size_t most)
{
    return _read(handle_, into, static_cast<unsigned>(most < INT_MAX ? most : INT_MAX));
}
