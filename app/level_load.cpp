#include "app/level_load.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "app/capacity.h"
#include "app/level.h"
#include "app/output.h"
#include "app/world.h"
#include "resources/GameFolders.h"

namespace {

// Reads a file the game has opened itself, so that no stream ever opens it by name again, and
// only as many bytes as it held when opened: a file another program keeps writing to ends.
class FileReader : public std::streambuf {
public:
    FileReader(int fd, off_t size) : fd_(fd), left_(size), buffer_(1 << 16) {}
    ~FileReader() override { close(fd_); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    int Error() const { return error_; }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        if (left_ <= 0)
            return traits_type::eof();
        const auto wanted = static_cast<std::size_t>(std::min<off_t>(left_, static_cast<off_t>(buffer_.size())));
        ssize_t count = 0;
        do
            count = read(fd_, buffer_.data(), wanted);
        while (count < 0 && errno == EINTR);
        if (count <= 0) {
            if (count < 0)
                error_ = errno;
            left_ = 0;
            return traits_type::eof();
        }
        left_ -= count;
        setg(buffer_.data(), buffer_.data(), buffer_.data() + count);
        return traits_type::to_int_type(*gptr());
    }

private:
    int fd_;
    off_t left_;
    int error_ = 0;
    std::vector<char> buffer_;
};

const char* Blocks(int count)
{
    return count == 1 ? " block added" : " blocks added";
}

// One whole line in one write, so that it never comes out mixed with other output. Standard
// error may be a full pipe nobody reads: the load goes on without the line then.
void Tell(const std::string& path, const std::string& what)
{
    TellOnStandardError("platformer: the level file \"" + path + "\" " + what + "\n");
}

bool IsMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

// A level file open for reading, and how far it has been read.
class LevelFile {
public:
    // Null when there is no such file, or when it may not or cannot be read, which is told.
    static std::unique_ptr<LevelFile> Open(const std::string& path)
    {
        // Looked at before it is opened: opening a device can do things of its own.
        struct stat info;
        if (stat(path.c_str(), &info) != 0) {
            if (!IsMissing(errno))
                Tell(path, std::string("cannot be opened: ") + std::strerror(errno));
            return nullptr;
        }
        if (!S_ISREG(info.st_mode)) {
            Tell(path, std::string("is ") + KindOfFile(info.st_mode) + ", not a regular file; nothing loaded");
            return nullptr;
        }

        // Should a FIFO take the file's place meanwhile, O_NONBLOCK keeps open from waiting for
        // a writer; reading a regular file is the same with it.
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (!IsMissing(errno))
                Tell(path, std::string("cannot be opened: ") + std::strerror(errno));
            return nullptr;
        }
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            close(fd);
            Tell(path, "is no longer a regular file; nothing loaded");
            return nullptr;
        }
        return std::unique_ptr<LevelFile>(new LevelFile(path, fd, info.st_size));
    }

    LevelReader& Reader() { return reader_; }

    // Once done: what kept the level from being read whole, if anything.
    void Report() const
    {
        const int added = reader_.Added();
        const LevelStop& stop = reader_.Stop();
        std::ostringstream what;
        if (file_.Error() != 0) {
            what << "cannot be read: " << std::strerror(file_.Error()) << "; " << added << Blocks(added);
        } else if (stop.stopped) {
            what << "stops at line " << stop.line;
            if (stop.room != Room::Made)
                what << ": " << DescribeNoRoom(stop.room);
            else if (stop.atEnd)
                what << ", where the file ends inside the record \"" << stop.found << "\"";
            else
                what << ", where \"" << stop.found << "\" is not three numbers";
            what << "; " << added << Blocks(added);
        } else {
            return;
        }
        Tell(path_, what.str());
    }

private:
    LevelFile(const std::string& path, int fd, off_t size) : path_(path), file_(fd, size), reader_(&file_, GAME_WORLD)
    {
    }

    std::string path_;
    FileReader file_;
    LevelReader reader_;
};

double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The level loading now, the presses of Space that wait for it, and the late ticks since the
// last slice.
std::unique_ptr<LevelFile> loading;
int pressesWaiting = 0;
int lateTicksWithoutSlice = 0;
double (*loadClock)() = SteadySeconds;

// What one slice has read so far, and when it began.
class Slice {
public:
    Slice() : start_(loadClock()) {}

    bool Spent() const { return records_ >= RECORDS_PER_SLICE || bytes_ >= BYTES_PER_SLICE || TimeUp(0, 0); }

    // Reads on in reader within what is left of the slice.
    void Read(LevelReader& reader)
    {
        SliceLimits left;
        left.records = RECORDS_PER_SLICE - records_;
        left.bytes = BYTES_PER_SLICE - bytes_;
        left.timeUp = [this](int records, std::int64_t bytes) { return TimeUp(records, bytes); };
        const std::int64_t before = reader.BytesRead();
        records_ += reader.Read(objects, left);
        bytes_ += reader.BytesRead() - before;
    }

private:
    // records and bytes: read since the last count.
    bool TimeUp(int records, std::int64_t bytes) const
    {
        if (records_ + records < RECORDS_BEFORE_CLOCK && bytes_ + bytes < BYTES_BEFORE_CLOCK)
            return false;
        return loadClock() - start_ >= SECONDS_PER_SLICE;
    }

    double start_;
    int records_ = 0;
    std::int64_t bytes_ = 0;
};

// One slice of the loads in turn: counting records and bytes keeps every run of the game the
// same wherever the machine is quick enough, and the clock keeps the frames coming where not.
void AdvanceLoads()
{
    Slice slice;
    while (!slice.Spent()) {
        if (!loading) {
            if (pressesWaiting == 0)
                return;
            --pressesWaiting;
            // The player's own level in the working folder wins over the sample installed with the game.
            loading = LevelFile::Open(FindGameFile("LoadLevel.txt"));
            if (!loading)
                continue;
        }
        slice.Read(loading->Reader());
        if (loading->Reader().Done()) {
            loading->Report();
            loading.reset();
        }
    }
}

// A load that memory runs out for stops; the game goes on with the blocks it has.
void AdvanceLoadsWithinMemory()
{
    try {
        AdvanceLoads();
    } catch (const std::bad_alloc&) {
        loading.reset();
        TellOnStandardError("platformer: memory ran out while loading the level file; the load stops\n");
    }
}

}  // namespace

void LoadLevel()
{
    ++pressesWaiting;
    if (!loading)
        AdvanceLoadsWithinMemory();
}

void ContinueLevelLoad(std::int64_t queuedAtCount, std::int64_t timerCount)
{
    const bool onTime = timerCount <= queuedAtCount;
    if (!onTime && ++lateTicksWithoutSlice <= MAX_LATE_TICKS_WITHOUT_SLICE)
        return;
    lateTicksWithoutSlice = 0;
    if (loading || pressesWaiting > 0)
        AdvanceLoadsWithinMemory();
}

// For tests, declared in tests/level_support.h.

bool LevelLoading()
{
    return loading != nullptr || pressesWaiting > 0;
}

void CancelLevelLoads()
{
    loading.reset();
    pressesWaiting = 0;
    lateTicksWithoutSlice = 0;
}

void SetLevelLoadClock(double (*clock)())
{
    loadClock = clock != nullptr ? clock : SteadySeconds;
}
