#include "app/level.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <vector>

#include "app/output.h"
#include "app/world.h"
#include "objects/Cube.h"
#include "resources/FileSystem.h"
#include "resources/GameFolders.h"
#include "resources/ImageCache.h"

namespace {

// Enough of a bad record to recognise it in the file.
constexpr std::size_t FOUND_LIMIT = 40;

bool IsBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Passes the level's characters through one at a time and keeps what a report of a bad
// record needs: the line of its last visible character, and its text on that line.
class RecordTracker : public std::streambuf {
public:
    explicit RecordTracker(std::streambuf* source) : source_(source) {}

    void StartRecord()
    {
        text_.clear();
        cut_ = false;
        begun_ = false;
        newLine_ = false;
        shownLine_ = line_;
    }
    // Takes the rest of the word the read stopped in, so the report shows all of it.
    void TakeRestOfWord()
    {
        for (int c = sgetc(); c != traits_type::eof() && !IsBlank(c) && !cut_; c = sgetc())
            sbumpc();
    }
    std::int64_t Line() const { return shownLine_; }
    bool Begun() const { return begun_; }  // anything but whitespace taken since StartRecord
    const std::string& Text() const { return text_; }
    bool Cut() const { return cut_; }

protected:
    int_type underflow() override { return source_->sgetc(); }
    int_type uflow() override
    {
        const int_type c = source_->sbumpc();
        if (c != traits_type::eof())
            Take(traits_type::to_char_type(c));
        return c;
    }

private:
    void Take(char c)
    {
        if (c == '\n') {
            ++line_;
            newLine_ = true;
            return;
        }
        const bool blank = IsBlank(static_cast<unsigned char>(c));
        if (!blank && newLine_) {
            text_.clear();
            cut_ = false;
            newLine_ = false;
            shownLine_ = line_;
        }
        begun_ = begun_ || !blank;
        if (newLine_)
            return;
        if (text_.size() < FOUND_LIMIT)
            text_ += c;
        else
            cut_ = true;
    }

    std::streambuf* source_;
    std::int64_t line_ = 1;
    std::int64_t shownLine_ = 1;
    std::string text_;
    bool cut_ = false;
    bool begun_ = false;
    bool newLine_ = false;  // a line break came after the text kept so far
};

// Some editors start UTF-8 text with EF BB BF. Part of the mark stays read: no record
// could have been read from there anyway.
bool SkipByteOrderMark(RecordTracker& in)
{
    static const unsigned char mark[] = {0xEF, 0xBB, 0xBF};
    for (std::size_t i = 0; i < sizeof mark; ++i) {
        if (in.sgetc() != mark[i])
            return i == 0;
        in.sbumpc();
    }
    in.StartRecord();
    return true;
}

// The bad record as a terminal can show it, without the blanks around it.
std::string Shown(const std::string& text, bool cut)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    return Printable(text.substr(begin, end - begin)) + (cut ? "..." : "");
}

LevelStop StopAt(const RecordTracker& tracker, bool atEnd)
{
    LevelStop stop;
    stop.stopped = true;
    stop.line = tracker.Line();
    stop.found = Shown(tracker.Text(), tracker.Cut());
    stop.atEnd = atEnd;
    return stop;
}

// A separator cannot belong to a number, or "1,1e308,3" and "1,0x30,5" would give blocks
// at places nobody wrote: it is no digit, sign, decimal point or letter.
bool IsSeparator(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    const bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
    const bool digit = byte >= '0' && byte <= '9';
    return !IsBlank(byte) && !letter && !digit && byte != '+' && byte != '-' && byte != '.';
}

// Reads a level's records a slice at a time, through the tracker, with the stream's locale
// and flags, and remembers where it stopped.
class LevelReader {
public:
    LevelReader(std::istream& source, WorldBounds bounds) : tracker_(source.rdbuf()), in_(&tracker_), bounds_(bounds)
    {
        in_.imbue(source.getloc());
        in_.flags(source.flags());
        if (!source) {
            done_ = true;
        } else if (!SkipByteOrderMark(tracker_)) {
            done_ = true;
            tracker_.TakeRestOfWord();
            stop_ = StopAt(tracker_, tracker_.sgetc() == std::streambuf::traits_type::eof());
        }
    }

    // Appends the blocks of up to `most` more records to world, in file order.
    int Read(std::vector<GameObject*>& world, int most)
    {
        int added = 0;
        int x = 0;
        int y = 0;
        while (!done_ && added < most && ReadRecord(x, y)) {
            const auto block = [&] {
                return new Cube(static_cast<float>(SnapToGrid(x)), static_cast<float>(y), GetImage(BLOCKS_PICTURE));
            };
            const Room room = AddToWorld(world, block, bounds_);
            if (room != Room::Made) {
                done_ = true;
                stop_ = StopAt(tracker_, false);
                stop_.room = room;
                break;
            }
            ++added;
            tracker_.StartRecord();
        }
        added_ += added;
        return added;
    }

    bool Done() const { return done_; }
    int Added() const { return added_; }
    const LevelStop& Stop() const { return stop_; }

private:
    // One whole record; false where the text ends or a record stops the read.
    bool ReadRecord(int& x, int& y)
    {
        int label = 0;
        if (ReadNumber(label) && ReadSeparator() && ReadNumber(x) && ReadSeparator() && ReadNumber(y) &&
            EndsRecord())
            return true;
        Finish();
        return false;
    }
    bool ReadNumber(int& number)
    {
        number = 0;
        if (in_ >> number)
            return true;
        // The stream gives a number outside int's range as its limit: that number was all
        // there, even when the text ends right after it.
        wrong_ = number == INT_MAX || number == INT_MIN;
        return false;
    }
    bool ReadSeparator()
    {
        char separator = 0;
        if (!(in_ >> separator))
            return false;
        wrong_ = !IsSeparator(separator);
        return !wrong_;
    }
    // "1,48,1.5" is not the record 1,48,1 followed by junk: the last number ends at a blank.
    bool EndsRecord()
    {
        if (in_.eof())
            return true;
        const int next = tracker_.sgetc();
        wrong_ = next != std::streambuf::traits_type::eof() && !IsBlank(next);
        return !wrong_;
    }
    // Only whitespace after the last record is a clean end.
    void Finish()
    {
        done_ = true;
        const bool atEnd = in_.eof() && !wrong_;
        if (tracker_.Begun() || !atEnd) {
            if (!atEnd)
                tracker_.TakeRestOfWord();
            stop_ = StopAt(tracker_, atEnd);
        }
    }

    RecordTracker tracker_;
    std::istream in_;
    WorldBounds bounds_;
    bool done_ = false;
    bool wrong_ = false;  // the last token read is there, and is not what a record needs
    int added_ = 0;
    LevelStop stop_;
};

// Reads a file the game has opened itself, so that no stream ever opens it by name again, and
// only as many bytes as it held when opened: a file another program keeps writing to ends.
class FileReader : public std::streambuf {
public:
    explicit FileReader(const std::string& path) : file_(path), left_(file_.Size()), buffer_(1 << 16) {}
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    FileForReading& File() { return file_; }
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

// One whole line in one write, so that it never comes out mixed with other output.
void Tell(std::ostream& messages, const std::string& path, const std::string& what)
{
    messages << ("platformer: the level file \"" + path + "\" " + what + "\n") << std::flush;
}

// A level file open for reading, and how far it has been read.
class LevelFile {
public:
    // Null when there is no such file (exists is then false), or when it may not or cannot be
    // read, which is told on messages.
    static std::unique_ptr<LevelFile> Open(const std::string& path, std::ostream& messages, bool& exists)
    {
        exists = true;
        // Looked at before it is opened: opening a device can do things of its own.
        const FileLook look = LookAtFile(path);
        if (look.error != 0) {
            exists = !IsMissing(look.error);
            if (exists)
                Tell(messages, path, std::string("cannot be opened: ") + std::strerror(look.error));
            return nullptr;
        }
        if (!look.regular) {
            Tell(messages, path, std::string("is ") + look.kind + ", not a regular file; nothing loaded");
            return nullptr;
        }

        std::unique_ptr<LevelFile> level(new LevelFile(path));
        const FileForReading& file = level->file_.File();
        if (!file.Opened()) {
            exists = !IsMissing(file.OpenError());
            if (exists)
                Tell(messages, path, std::string("cannot be opened: ") + std::strerror(file.OpenError()));
            return nullptr;
        }
        if (!file.Regular()) {
            Tell(messages, path, "is no longer a regular file; nothing loaded");
            return nullptr;
        }
        return level;
    }

    int Read(std::vector<GameObject*>& world, int most) { return reader_.Read(world, most); }
    bool Done() const { return reader_.Done(); }

    // Once done: what kept the level from being read whole, if anything.
    void Report(std::ostream& messages) const
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
        Tell(messages, path_, what.str());
    }

private:
    explicit LevelFile(const std::string& path)
        : path_(path), file_(path), stream_(&file_), reader_(stream_, GAME_WORLD)
    {
    }

    std::string path_;
    FileReader file_;
    std::istream stream_;
    LevelReader reader_;
};

// The level loading now, and the presses of Space that wait for it.
struct Loads {
    std::unique_ptr<LevelFile> current;
    int waiting = 0;
};

Loads& TheLoads()
{
    static Loads loads;
    return loads;
}

// Its messages go out like the frame-rate lines: a standard error nobody reads (a full pipe)
// must not hold the game.
void TellWithoutWaiting(const std::ostringstream& messages)
{
    if (!messages.str().empty())
        TellOnStandardError(messages.str());
}

// Reads up to `records` records of the loads in turn; counting records, not time, keeps
// every run of the game the same.
void AdvanceLoads(int records)
{
    Loads& loads = TheLoads();
    while (records > 0) {
        if (!loads.current) {
            if (loads.waiting == 0)
                return;
            --loads.waiting;
            // The player's own level in the working folder wins over the sample installed with the game.
            std::ostringstream messages;
            bool exists = false;
            loads.current = LevelFile::Open(FindGameFile("LoadLevel.txt"), messages, exists);
            TellWithoutWaiting(messages);
            if (!loads.current)
                continue;
        }
        records -= loads.current->Read(objects, records);
        if (loads.current->Done()) {
            std::ostringstream messages;
            loads.current->Report(messages);
            TellWithoutWaiting(messages);
            loads.current.reset();
        }
    }
}

// A load that memory runs out for stops; the game goes on with the blocks it has.
void AdvanceLoadsWithinMemory(int records)
{
    try {
        AdvanceLoads(records);
    } catch (const std::bad_alloc&) {
        TheLoads().current.reset();
        TellOnStandardError("platformer: memory ran out while loading the level file; the load stops\n");
    }
}

}  // namespace

int SnapToGrid(int x)
{
    if (x <= Cube::SIZE)
        return 0;
    return (x / Cube::SIZE) * Cube::SIZE;
}

int ReadLevel(std::istream& myfile, std::vector<GameObject*>& world, LevelStop* stop)
{
    LevelReader reader(myfile, MEMORY_ONLY);
    while (!reader.Done())
        reader.Read(world, INT_MAX);
    if (stop != nullptr)
        *stop = reader.Stop();
    return reader.Added();
}

bool LoadLevelFile(const std::string& path, std::ostream& messages)
{
    bool exists = false;
    const std::unique_ptr<LevelFile> file = LevelFile::Open(path, messages, exists);
    if (file) {
        while (!file->Done())
            file->Read(objects, INT_MAX);
        file->Report(messages);
    }
    return exists;
}

void LoadLevel()
{
    ++TheLoads().waiting;
    if (!TheLoads().current)
        AdvanceLoadsWithinMemory(RECORDS_PER_SLICE);
}

void ContinueLevelLoad()
{
    AdvanceLoadsWithinMemory(RECORDS_PER_SLICE);
}

bool LevelLoading()
{
    return TheLoads().current != nullptr || TheLoads().waiting > 0;
}

void CancelLevelLoads()
{
    TheLoads().current.reset();
    TheLoads().waiting = 0;
}
