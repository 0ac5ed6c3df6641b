#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the game asks of the system about files, one file per platform behind it. Paths are
// UTF-8 on every platform.

// The folder that holds the running executable, or "" when it cannot be told. Needs nothing
// from Allegro, so it works before the library starts.
std::string ExecutableFolder();

// What stands at a path, looked at without opening it: opening a FIFO would wait for a
// writer, and opening a device can do things of its own.
struct FileLook {
    int error = 0;          // errno when nothing could be looked at (ENOENT: nothing there)
    bool regular = false;   // a regular file, the only kind the game reads
    const char* kind = "";  // otherwise what it is, for a person: "a folder", "a FIFO", ...
};
FileLook LookAtFile(const std::string& path);

// True for the errno values that mean there is no such file.
bool IsMissing(int error);

// A file the game has opened itself for reading, closed with the object. Opening never waits
// (should a FIFO have taken the file's place), and what was opened is looked at again.
class FileForReading {
public:
    explicit FileForReading(const std::string& path);
    ~FileForReading();
    FileForReading(const FileForReading&) = delete;
    FileForReading& operator=(const FileForReading&) = delete;

    bool Opened() const { return handle_ >= 0; }
    int OpenError() const { return openError_; }  // errno when not opened
    bool Regular() const { return regular_; }     // what was opened is a regular file
    std::int64_t Size() const { return size_; }   // its size when opened

    // Up to `most` bytes into `into`: how many, 0 at the end, -1 on an error (errno says which).
    long Read(char* into, std::size_t most);

private:
    int handle_ = -1;
    int openError_ = 0;
    bool regular_ = false;
    std::int64_t size_ = 0;
};
