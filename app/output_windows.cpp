#include "app/output.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

namespace {

// Windows cannot say whether a pipe has room for a line, nor write to one without waiting
// while others share it. So a pipe gets a writer of its own that waits for the reader in the
// game's place: the game hands it lines, and a line for which its backlog has no room is
// dropped, as a full pipe's is on Linux.
class PipeWriter {
public:
    explicit PipeWriter(HANDLE pipe) : pipe_(pipe) {}

    // False once a write has failed (the reader has gone); true when the line was taken or
    // dropped.
    bool Offer(const char* line, std::size_t size)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ended_)
            return false;
        if (size > BACKLOG - used_)
            return true;
        for (std::size_t i = 0; i < size; ++i)
            backlog_[(start_ + used_ + i) % BACKLOG] = line[i];
        used_ += size;
        waiting_.notify_one();
        return true;
    }

    void Run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!ended_) {
            waiting_.wait(lock, [this] { return used_ > 0; });
            const std::size_t chunk = std::min(used_, BACKLOG - start_);
            lock.unlock();
            DWORD written = 0;
            const bool wrote = WriteFile(pipe_, backlog_ + start_, static_cast<DWORD>(chunk), &written, nullptr) != 0;
            lock.lock();
            start_ = (start_ + written) % BACKLOG;
            used_ -= written;
            ended_ = !wrote;
        }
    }

private:
    static constexpr std::size_t BACKLOG = 16384;
    HANDLE pipe_;
    std::mutex mutex_;
    std::condition_variable waiting_;
    char backlog_[BACKLOG];
    std::size_t start_ = 0;
    std::size_t used_ = 0;
    bool ended_ = false;
};

constexpr int PIPE_WRITERS = 16;

// The writer of a descriptor that is a pipe, made on its first line. Never destroyed: its
// thread may still be waiting for the reader when the game ends.
PipeWriter* WriterFor(int fd, HANDLE pipe)
{
    static PipeWriter* writers[PIPE_WRITERS] = {};
    static HANDLE pipes[PIPE_WRITERS] = {};
    static std::mutex making;
    std::lock_guard<std::mutex> lock(making);
    if (writers[fd] == nullptr || pipes[fd] != pipe) {
        auto* writer = new (std::nothrow) PipeWriter(pipe);
        if (writer == nullptr)
            return nullptr;
        try {
            std::thread(&PipeWriter::Run, writer).detach();
        } catch (const std::exception&) {
            delete writer;
            return nullptr;
        }
        writers[fd] = writer;
        pipes[fd] = pipe;
    }
    return writers[fd];
}

}  // namespace

// A game started from the desktop has no standard streams at all: they go to NUL, so that
// writes to them fail nowhere. Lines end as on Linux, whichever way they are written.
void PrepareStandardStreams()
{
    FILE* const streams[] = {stdin, stdout, stderr};
    for (int fd = 0; fd <= 2; ++fd)
        if (_get_osfhandle(fd) < 0)
            std::freopen("NUL", fd == 0 ? "r" : "w", streams[fd]);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
}

// Files and the console take a line at once; a pipe goes through its writer.
bool WriteLineWithoutWaiting(int fd, const char* line, std::size_t size)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return false;
    if (GetFileType(handle) == FILE_TYPE_PIPE && fd >= 0 && fd < PIPE_WRITERS) {
        PipeWriter* writer = WriterFor(fd, handle);
        return writer == nullptr || writer->Offer(line, size);
    }
    DWORD written = 0;
    return WriteFile(handle, line, static_cast<DWORD>(size), &written, nullptr) != 0;
}
