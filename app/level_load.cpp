#include "app/level_load.h"

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
#include "resources/FileSystem.h"
#include "resources/GameFolders.h"

namespace {

// Reads a file the game has opened itself, so that no stream ever opens it by name again, and
// only as many bytes as it held when opened: a file another program keeps writing to ends.
class FileReader : public std::streambuf {
public:
    explicit FileReader(const std::string& path) : file_(path), left_(file_.Size()), buffer_(1 << 16) {}
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    const FileForReading& File() const { return file_; }
    int Error() const { return error_; }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        if (left_ <= 0)
            return traits_type::eof();
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(left_, static_cast<std::int64_t>(buffer_.size())));
        const long count = file_.Read(buffer_.data(), wanted);
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
    FileForReading file_;
    std::int64_t left_;
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

// A level file open for reading, and how far it has been read.
class LevelFile {
public:
    // Null when there is no such file, or when it may not or cannot be read, which is told.
    static std::unique_ptr<LevelFile> Open(const std::string& path)
    {
        // Looked at before it is opened: opening a device can do things of its own.
        const FileLook look = LookAtFile(path);
        if (look.error != 0) {
            if (!IsMissing(look.error))
                Tell(path, std::string("cannot be opened: ") + std::strerror(look.error));
            return nullptr;
        }
        if (!look.regular) {
            Tell(path, std::string("is ") + look.kind + ", not a regular file; nothing loaded");
            return nullptr;
        }

        std::unique_ptr<LevelFile> level(new LevelFile(path));
        const FileForReading& file = level->file_.File();
        if (!file.Opened()) {
            if (!IsMissing(file.OpenError()))
                Tell(path, std::string("cannot be opened: ") + std::strerror(file.OpenError()));
            return nullptr;
        }
        if (!file.Regular()) {
            Tell(path, "is no longer a regular file; nothing loaded");
            return nullptr;
        }
        return level;
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
    explicit LevelFile(const std::string& path) : path_(path), file_(path), reader_(&file_, GAME_WORLD) {}

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
