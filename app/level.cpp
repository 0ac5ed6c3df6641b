#include "app/level.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <vector>

#include "app/output.h"
#include "app/world.h"
#include "objects/Cube.h"
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

// The bad record as a terminal can show it: no control bytes, no broken UTF-8.
std::string Printable(const std::string& text, bool cut)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    std::string shown;
    for (std::size_t i = begin; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            shown += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    if (cut)
        shown += "...";
    return shown;
}

LevelStop StopAt(const RecordTracker& tracker, bool atEnd)
{
    LevelStop stop;
    stop.stopped = true;
    stop.line = tracker.Line();
    stop.found = Printable(tracker.Text(), tracker.Cut());
    stop.atEnd = atEnd;
    return stop;
}

// Reads a file the game has opened itself, so that no stream ever opens it by name again.
class FileReader : public std::streambuf {
public:
    explicit FileReader(int fd) : fd_(fd), buffer_(1 << 16) {}
    ~FileReader() override { close(fd_); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    int Error() const { return error_; }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        ssize_t count = 0;
        do
            count = read(fd_, buffer_.data(), buffer_.size());
        while (count < 0 && errno == EINTR);
        if (count <= 0) {
            if (count < 0)
                error_ = errno;
            return traits_type::eof();
        }
        setg(buffer_.data(), buffer_.data(), buffer_.data() + count);
        return traits_type::to_int_type(*gptr());
    }

private:
    int fd_;
    int error_ = 0;
    std::vector<char> buffer_;
};

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

const char* Blocks(int count)
{
    return count == 1 ? " block added" : " blocks added";
}

// One whole line in one write, so that it never comes out mixed with other output.
void Tell(std::ostream& messages, const std::string& path, const std::string& what)
{
    messages << ("platformer: the level file \"" + path + "\" " + what + "\n") << std::flush;
}

bool IsMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
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
    if (stop != nullptr)
        *stop = LevelStop();
    if (!myfile)
        return 0;

    // The records are read from the caller's stream through the tracker, with its locale and
    // flags: the reading itself is the plain chained extraction.
    RecordTracker tracker(myfile.rdbuf());
    std::istream in(&tracker);
    in.imbue(myfile.getloc());
    in.flags(myfile.flags());

    if (!SkipByteOrderMark(tracker)) {
        if (stop != nullptr) {
            tracker.TakeRestOfWord();
            *stop = StopAt(tracker, tracker.sgetc() == std::streambuf::traits_type::eof());
        }
        return 0;
    }

    int added = 0;
    int a = 0;
    int b = 0;
    int c = 0;
    char commas = 0;
    // End of file right after the last number is not a failure, so a last line without a
    // line break still counts.
    while (in >> a >> commas >> b >> commas >> c) {
        world.push_back(new Cube(static_cast<float>(SnapToGrid(b)), static_cast<float>(c), GetImage(BLOCKS_PICTURE)));
        ++added;
        tracker.StartRecord();
    }

    // Only whitespace after the last record is a clean end.
    const bool atEnd = in.eof();
    if (stop != nullptr && (tracker.Begun() || !atEnd)) {
        if (!atEnd)
            tracker.TakeRestOfWord();
        *stop = StopAt(tracker, atEnd);
    }
    return added;
}

bool LoadLevelFile(const std::string& path, std::ostream& messages)
{
    // Looked at before it is opened: opening a device can do things of its own.
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        if (IsMissing(errno))
            return false;
        Tell(messages, path, std::string("cannot be opened: ") + std::strerror(errno));
        return true;
    }
    if (!S_ISREG(info.st_mode)) {
        Tell(messages, path, std::string("is ") + KindOfFile(info.st_mode) + ", not a regular file; nothing loaded");
        return true;
    }

    // Should a FIFO take the file's place meanwhile, O_NONBLOCK keeps open from waiting for
    // a writer; reading a regular file is the same with it.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (IsMissing(errno))
            return false;
        Tell(messages, path, std::string("cannot be opened: ") + std::strerror(errno));
        return true;
    }
    FileReader file(fd);
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Tell(messages, path, "is no longer a regular file; nothing loaded");
        return true;
    }

    std::istream myfile(&file);
    LevelStop stop;
    const int added = ReadLevel(myfile, objects, &stop);
    std::ostringstream what;
    if (file.Error() != 0) {
        what << "cannot be read: " << std::strerror(file.Error()) << "; " << added << Blocks(added);
    } else if (stop.stopped) {
        what << "stops at line " << stop.line << ", where ";
        if (stop.atEnd)
            what << "the file ends inside the record \"" << stop.found << "\"";
        else
            what << "\"" << stop.found << "\" is not three numbers";
        what << "; " << added << Blocks(added);
    } else {
        return true;
    }
    Tell(messages, path, what.str());
    return true;
}

void LoadLevel()
{
    // The player's own level in the working folder wins over the sample installed with the game.
    // Its message goes out like the frame-rate lines: a standard error nobody reads (a full
    // pipe) must not hold the game.
    std::ostringstream messages;
    LoadLevelFile(FindGameFile("LoadLevel.txt"), messages);
    if (!messages.str().empty())
        WriteLineWithoutWaiting(STDERR_FILENO, messages.str());
}
