#include "app/level.h"

#include <istream>

#include "app/output.h"
#include "objects/Cube.h"
#include "resources/ImageCache.h"

namespace {

// Enough of a bad record to recognise it in the file.
constexpr std::size_t FOUND_LIMIT = 40;

using Traits = std::streambuf::traits_type;

bool IsBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

// A separator cannot belong to a number, or "1,1e308,3" and "1,0x30,5" would give blocks
// at places nobody wrote: it is no digit, sign, decimal point or letter.
bool IsSeparator(int byte)
{
    const bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
    return !IsBlank(byte) && !letter && !IsDigit(byte) && byte != '+' && byte != '-' && byte != '.';
}

// Sees the level's bytes go by one at a time and keeps what a report of a bad record needs:
// the line of its last visible character, and its text on that line.
class RecordTracker {
public:
    void StartRecord()
    {
        text_.clear();
        cut_ = false;
        begun_ = false;
        newLine_ = false;
        shownLine_ = line_;
    }
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
    std::int64_t Line() const { return shownLine_; }
    bool Begun() const { return begun_; }  // anything but whitespace taken since StartRecord
    const std::string& Text() const { return text_; }
    bool Cut() const { return cut_; }

private:
    std::int64_t line_ = 1;
    std::int64_t shownLine_ = 1;
    std::string text_;
    bool cut_ = false;
    bool begun_ = false;
    bool newLine_ = false;  // a line break came after the text kept so far
};

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

// A number as formatted stream extraction reads an int: whitespace skipped, an optional sign,
// then digits up to the first byte that is none. Kept between slices while it is read.
struct NumberRead {
    enum Phase { Blanks, Sign, Digits } phase = Blanks;
    bool negative = false;
    std::uint64_t magnitude = 0;  // stops growing past the int range

    bool InRange() const { return magnitude <= (negative ? 2147483648ull : 2147483647ull); }
    int Value() const
    {
        return static_cast<int>(negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude));
    }
};

// The tokens of a record, in reading order.
enum class Token { Label, FirstSeparator, X, SecondSeparator, Y, End };

}  // namespace

// The reading of one level: the record in progress, the token in it and the number in it,
// and what a report needs, so that a slice can stop after any byte.
class LevelReader::Parser {
public:
    Parser(std::streambuf* source, WorldBounds bounds) : source_(source), bounds_(bounds)
    {
        if (source_ == nullptr)
            done_ = true;
        else if (!SkipByteOrderMark()) {
            TakeRestOfWord();
            StopHere(source_->sgetc() == Traits::eof());
        }
    }

    int Read(std::vector<GameObject*>& world, const SliceLimits& limits)
    {
        int records = 0;
        const std::int64_t start = bytesRead_;
        std::int64_t nextTimeCheck = TIME_CHECK_BYTES;
        while (!done_ && records < limits.records && bytesRead_ - start < limits.bytes) {
            const std::int64_t bytes = bytesRead_ - start;
            if (bytes >= nextTimeCheck) {
                nextTimeCheck = bytes + TIME_CHECK_BYTES;
                if (limits.timeUp && limits.timeUp(records, bytes))
                    break;
            }
            Look(source_->sgetc());
            if (token_ == Token::End && recordWhole_) {
                if (!AddBlock(world))
                    break;
                ++records;
                if (limits.timeUp && limits.timeUp(records, bytesRead_ - start))
                    break;
            }
        }
        return records;
    }

    bool Done() const { return done_; }
    int Added() const { return added_; }
    std::int64_t BytesRead() const { return bytesRead_; }
    const LevelStop& Stop() const { return stop_; }

private:
    // Some editors start UTF-8 text with EF BB BF. Part of the mark stays read: no record
    // could have been read from there anyway.
    bool SkipByteOrderMark()
    {
        static const unsigned char mark[] = {0xEF, 0xBB, 0xBF};
        for (std::size_t i = 0; i < sizeof mark; ++i) {
            if (source_->sgetc() != mark[i])
                return i == 0;
            Take();
        }
        tracker_.StartRecord();
        return true;
    }

    void Take()
    {
        tracker_.Take(Traits::to_char_type(source_->sbumpc()));
        ++bytesRead_;
    }

    // Moves the record on by the next byte c, or by the end of the text.
    void Look(int c)
    {
        if (c == Traits::eof())
            atEnd_ = true;
        switch (token_) {
        case Token::Label:
        case Token::X:
        case Token::Y:
            LookInNumber(c);
            break;
        case Token::FirstSeparator:
        case Token::SecondSeparator:
            LookForSeparator(c);
            break;
        case Token::End:
            // "1,48,1.5" is not the record 1,48,1 followed by junk: the last number ends at a blank.
            if (atEnd_ || IsBlank(c))
                recordWhole_ = true;
            else
                Fail(true);
            break;
        }
    }

    void LookInNumber(int c)
    {
        switch (number_.phase) {
        case NumberRead::Blanks:
            if (IsBlank(c)) {
                Take();
                return;
            }
            number_.phase = NumberRead::Sign;
            if (c == '+' || c == '-') {
                number_.negative = c == '-';
                Take();
                return;
            }
            [[fallthrough]];
        case NumberRead::Sign:
            if (!IsDigit(c)) {
                Fail(false);  // no digits: the text ran out, or holds no number here
                return;
            }
            number_.phase = NumberRead::Digits;
            [[fallthrough]];
        case NumberRead::Digits:
            if (IsDigit(c)) {
                if (number_.InRange())
                    number_.magnitude = number_.magnitude * 10 + static_cast<unsigned>(c - '0');
                Take();
                return;
            }
            // A number outside int's range was all there, even when the text ends right after it.
            if (!number_.InRange()) {
                Fail(true);
                return;
            }
            values_[token_ == Token::Label ? 0 : token_ == Token::X ? 1 : 2] = number_.Value();
            number_ = NumberRead{};
            token_ = static_cast<Token>(static_cast<int>(token_) + 1);
            return;
        }
    }

    // A separator is one byte, whatever follows it.
    void LookForSeparator(int c)
    {
        if (c == Traits::eof()) {
            Fail(false);
            return;
        }
        Take();
        if (IsBlank(c))
            return;
        if (IsSeparator(c))
            token_ = static_cast<Token>(static_cast<int>(token_) + 1);
        else
            Fail(true);
    }

    // Appends the block of the whole record just read; false when it found no room.
    bool AddBlock(std::vector<GameObject*>& world)
    {
        const int x = values_[1];
        const int y = values_[2];
        const auto block = [&] {
            return new Cube(static_cast<float>(SnapToGrid(x)), static_cast<float>(y), GetImage(BLOCKS_PICTURE));
        };
        const Room room = AddToWorld(world, block, bounds_);
        if (room != Room::Made) {
            StopHere(false);
            stop_.room = room;
            return false;
        }
        ++added_;
        token_ = Token::Label;
        recordWhole_ = false;
        tracker_.StartRecord();
        return true;
    }

    // The record cannot be read whole. wrong: what was read is there and is not what a record
    // needs; otherwise the text ran out, or held no number where one must stand. Only
    // whitespace after the last record is a clean end.
    void Fail(bool wrong)
    {
        done_ = true;
        const bool atEnd = atEnd_ && !wrong;
        if (!atEnd)
            TakeRestOfWord();
        if (tracker_.Begun() || !atEnd)
            StopHere(atEnd);
    }

    void StopHere(bool atEnd)
    {
        done_ = true;
        stop_.stopped = true;
        stop_.line = tracker_.Line();
        stop_.found = Shown(tracker_.Text(), tracker_.Cut());
        stop_.atEnd = atEnd;
    }

    // Takes the rest of the word the read stopped in, so the report shows all of it.
    void TakeRestOfWord()
    {
        for (int c = source_->sgetc(); c != Traits::eof() && !IsBlank(c) && !tracker_.Cut(); c = source_->sgetc())
            Take();
    }

    std::streambuf* source_;
    WorldBounds bounds_;
    RecordTracker tracker_;
    Token token_ = Token::Label;
    NumberRead number_;
    int values_[3] = {0, 0, 0};
    bool recordWhole_ = false;
    bool atEnd_ = false;  // the text has been seen to end
    bool done_ = false;
    int added_ = 0;
    std::int64_t bytesRead_ = 0;
    LevelStop stop_;
};

LevelReader::LevelReader(std::streambuf* source, WorldBounds bounds)
    : parser_(std::make_unique<Parser>(source, bounds))
{
}

LevelReader::~LevelReader() = default;

int LevelReader::Read(std::vector<GameObject*>& world, const SliceLimits& limits)
{
    return parser_->Read(world, limits);
}

bool LevelReader::Done() const
{
    return parser_->Done();
}

int LevelReader::Added() const
{
    return parser_->Added();
}

std::int64_t LevelReader::BytesRead() const
{
    return parser_->BytesRead();
}

const LevelStop& LevelReader::Stop() const
{
    return parser_->Stop();
}

int SnapToGrid(int x)
{
    if (x <= Cube::SIZE)
        return 0;
    return (x / Cube::SIZE) * Cube::SIZE;
}

int ReadLevel(std::istream& myfile, std::vector<GameObject*>& world, LevelStop* stop)
{
    LevelReader reader(myfile ? myfile.rdbuf() : nullptr, MEMORY_ONLY);
    while (!reader.Done())
        reader.Read(world, SliceLimits{});
    if (stop != nullptr)
        *stop = reader.Stop();
    return reader.Added();
}
