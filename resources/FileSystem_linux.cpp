#include "resources/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

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

}  // namespace

// The kernel's link to the running executable, with symbolic links already resolved, so an
// installed game finds its data wherever its prefix is, spaces included.
std::string ExecutableFolder()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error || !exe.is_absolute())
        return "";
    return exe.parent_path().string();
}

FileLook LookAtFile(const std::string& path)
{
    FileLook look;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        look.error = errno;
        return look;
    }
    look.regular = S_ISREG(info.st_mode);
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
    // O_NONBLOCK keeps open from waiting for a FIFO's writer; reading a regular file is the
    // same with it.
    handle_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle_ < 0) {
        openError_ = errno;
        return;
    }
    struct stat info;
    if (fstat(handle_, &info) == 0 && S_ISREG(info.st_mode)) {
        regular_ = true;
        size_ = info.st_size;
    }
}

FileForReading::~FileForReading()
{
    if (handle_ >= 0)
        close(handle_);
}

long FileForReading::Read(char* into, std::size_t most)
{
    ssize_t count = 0;
    do
        count = read(handle_, into, most);
    while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
}
