#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "app/input.h"
#include "app/level.h"
#include "app/level_load.h"
#include "fault_support.h"
#include "level_support.h"
#include "resources/ImageCache.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

using Positions = std::vector<std::pair<float, float>>;

// Where the blocks of world[from...] stand, checking on the way that they are blocks.
Positions BlocksFrom(const std::vector<GameObject*>& world, std::size_t from = 0)
{
    Positions found;
    for (std::size_t i = from; i < world.size(); ++i) {
        EXPECT_EQ(world[i]->GetID(), BLOCK) << "object " << i;
        found.emplace_back(world[i]->GetX(), world[i]->GetY());
    }
    return found;
}

// Reads text into a world of its own and frees what it made.
class LevelReaderTest : public ::testing::Test {
protected:
    void TearDown() override { Free(); }
    void Free()
    {
        for (GameObject* object : world)
            delete object;
        world.clear();
    }
    Positions Read(const std::string& text, int* added = nullptr)
    {
        Free();
        std::istringstream in(text);
        const int count = ReadLevel(in, world);
        if (added != nullptr)
            *added = count;
        EXPECT_EQ(count, static_cast<int>(world.size())) << "the result counts the blocks added";
        ExpectTheSameInSlices(text);
        return BlocksFrom(world);
    }

    // The game reads a level in slices that may stop after any byte: slices of a few bytes, of
    // one record, or whose time is up at every look give the blocks and the stop of one read.
    static void ExpectTheSameInSlices(const std::string& text)
    {
        std::vector<GameObject*> whole;
        std::istringstream in(text);
        LevelStop wholeStop;
        ReadLevel(in, whole, &wholeStop);
        SliceLimits limits[5];
        limits[0].bytes = 1;
        limits[1].bytes = 3;
        limits[2].bytes = 7;
        limits[3].records = 1;
        limits[4].timeUp = [](int, std::int64_t) { return true; };
        for (const SliceLimits& slice : limits) {
            SCOPED_TRACE(::testing::Message() << "slices of " << slice.bytes << " bytes, " << slice.records << " records");
            std::istringstream sliced(text);
            std::vector<GameObject*> world;
            LevelReader reader(sliced.rdbuf(), MEMORY_ONLY);
            for (std::size_t slices = 0; !reader.Done() && slices <= 2 * text.size() + 2; ++slices)
                reader.Read(world, slice);
            EXPECT_TRUE(reader.Done());
            EXPECT_EQ(BlocksFrom(world), BlocksFrom(whole));
            EXPECT_EQ(reader.Added(), static_cast<int>(world.size()));
            const LevelStop& stop = reader.Stop();
            EXPECT_EQ(stop.stopped, wholeStop.stopped);
            EXPECT_EQ(stop.line, wholeStop.line);
            EXPECT_EQ(stop.found, wholeStop.found);
            EXPECT_EQ(stop.atEnd, wholeStop.atEnd);
            for (GameObject* object : world)
                delete object;
        }
        for (GameObject* object : whole)
            delete object;
    }

    std::vector<GameObject*> world;
};

TEST(SnapToGridTest, SnapsDownToTheGridWithTwentyFourGivingZero)
{
    const std::pair<int, int> cases[] = {
        {0, 0},    {1, 0},     {23, 0},    {24, 0},    {25, 24},  {47, 24},
        {48, 48},  {71, 48},   {72, 72},   {100, 96},  {-1, 0},   {-24, 0},
        {-100, 0}, {INT_MIN, 0}, {INT_MAX, 2147483640},
    };
    for (const auto& [x, snapped] : cases)
        EXPECT_EQ(SnapToGrid(x), snapped) << "x " << x;
}

TEST_F(LevelReaderTest, ReadsTheExampleRecords)
{
    int added = 0;
    EXPECT_EQ(Read("0,0,0\n7,30,552\n1,24,100\n2,100,-5\n0,48,48\n0,-30,10\n", &added),
              (Positions{{0, 0}, {24, 552}, {0, 100}, {96, -5}, {48, 48}, {0, 10}}));
    EXPECT_EQ(added, 6);
}

TEST_F(LevelReaderTest, LayoutVariantsReadAsTheirTokens)
{
    struct Case {
        const char* what;
        std::string text;
        Positions blocks;
    };
    const std::vector<Case> cases = {
        {"bare line feeds", "1,30,40\n2,50,60\n", {{24, 40}, {48, 60}}},
        {"carriage return and line feed", "1,30,40\r\n2,50,60\r\n", {{24, 40}, {48, 60}}},
        {"no line break after the last record", "1,30,40\n2,50,60", {{24, 40}, {48, 60}}},
        {"semicolons", "1;30;40\n2;50;60\n", {{24, 40}, {48, 60}}},
        {"any character that cannot belong to a number separates", "1#30/40\n1:30;40\n", {{24, 40}, {24, 40}}},
        {"spaces around separators", " 1 , 30 ,\t40 \n", {{24, 40}}},
        {"record split over lines and tabs", "1\n,\t30\n\n,\r\n40", {{24, 40}}},
        {"two records on one line", "1,30,40 2,50,60", {{24, 40}, {48, 60}}},
        {"signs", "+1,+30,-40\n-1,-30,+40\n", {{24, -40}, {0, 40}}},
        {"leading zeros", "007,0049,0013\n", {{48, 13}}},
        {"the int limits", "0,2147483647,-2147483648\n", {{2147483640.0f, -2147483648.0f}}},
        {"a long run of blanks before a record", std::string(9000, ' ') + "\n\n1,30,40", {{24, 40}}},
        {"a number of many leading zeros", "1," + std::string(9000, '0') + "30,40\n", {{24, 40}}},
        {"empty", "", {}},
        {"whitespace only", " \t\r\n\n  \v\f", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Read(c.text), c.blocks);
    }
}

TEST_F(LevelReaderTest, StopsQuietlyAtTheFirstRecordItCannotReadWhole)
{
    struct Case {
        const char* what;
        std::string text;
        std::size_t blocksKept;
    };
    const std::vector<Case> cases = {
        {"a word where a number stands, line 3", "1,30,40\n2,50,60\n5,abc,7\n3,100,100\n", 2},
        {"x too large for int", "1,30,40\n1,99999999999,5\n2,50,60\n", 1},
        {"y one past the int range", "1,30,40\n1,30,2147483648\n", 1},
        {"first number one past the int range", "2147483648,1,1\n", 0},
        {"first number below the int range", "-2147483649,1,1\n", 0},
        {"a lone minus", "-", 0},
        {"a sign with no digits", "1,30,40\n1,-,5\n", 1},
        {"a record cut after its second separator", "1,2,", 0},
        {"a record cut after its first number", "1,30,40\n7", 1},
        {"binary with NULs", "1,30,40\n"s + "\0\x01\xff\x7f,\0,\0"s, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Positions read = Read(c.text);
        EXPECT_EQ(read.size(), c.blocksKept);
        if (!read.empty()) {
            EXPECT_EQ(read.front(), (std::pair<float, float>(24, 40)));
        }
    }
}

TEST_F(LevelReaderTest, SaysWhereAndWhyItStopped)
{
    struct Case {
        const char* what;
        std::string text;
        std::size_t blocks;
        bool stopped;
        std::int64_t line;
        std::string found;
        bool atEnd;
    };
    const std::string junk(100, 'z');
    const std::vector<Case> cases = {
        {"trailing whitespace is a clean end", "1,30,40\n2,50,60\n \r\n\t\n", 2, false, 0, "", false},
        {"a byte-order mark is skipped", "\xEF\xBB\xBF" "1,30,40\n2,50,60", 2, false, 0, "", false},
        {"a word where a number stands", "1,30,40\n2,50,60\n5,abc,7\n3,100,100\n", 2, true, 3, "5,abc,7", false},
        {"a number too large, among spaces", "1,30,40\n\n  1, 99999999999 ,5\n", 1, true, 3, "1, 99999999999", false},
        {"after a record on the same line", "1,30,40 2,50,x,7\n", 1, true, 1, "2,50,x,7", false},
        {"a record over lines stops on its line", "1,30,40\n1\n,\n#,5\n", 1, true, 4, "#,5", false},
        {"cut short by the end of the file", "1,30,40\n7", 1, true, 2, "7", true},
        {"cut short after a separator", "1,30,40\r\n2,50,\r\n", 1, true, 2, "2,50,", true},
        {"cut short, then a CRLF", "1,30,40\n7,8\r\n", 1, true, 2, "7,8", true},
        {"cut short, then a blank line", "1,30,40\n7,8\n\n", 1, true, 2, "7,8", true},
        {"control and other bytes shown escaped", "1,30,40\n\x01\xff,\t2", 1, true, 2, "\\x01\\xff,", false},
        {"a long word shown cut", "1,30,40\n" + junk + "\n", 1, true, 2, std::string(40, 'z') + "...", false},
        {"half a byte-order mark", "\xEF\xBB" "1,30,40\n", 0, true, 1, "\\xef\\xbb1,30,40", false},
        {"a byte-order mark on line 2", "1,30,40\n\xEF\xBB\xBF" "2,50,60\n", 1, true, 2, "\\xef\\xbb\\xbf2,50,60", false},
        {"a byte-order mark alone", "\xEF\xBB\xBF", 0, false, 0, "", false},
        // A separator cannot belong to a number, and the last number ends at a blank: none of
        // these is a block at a place nobody wrote.
        {"an exponent is no separator", "1,30,40\n1,1e308,3\n", 1, true, 2, "1,1e308,3", false},
        {"nor is a hexadecimal x", "1,0x30,5\n", 0, true, 1, "1,0x30,5", false},
        {"nor a digit", "1 2 3 4 5 6\n", 0, true, 1, "1 2", false},
        {"nor a decimal point", "1,2.5,3\n", 0, true, 1, "1,2.5,3", false},
        {"nor a point after the second number", "1,30.40\n", 0, true, 1, "1,30.40", false},
        {"nor points alone", "1.2.3\n", 0, true, 1, "1.2.3", false},
        {"a fraction after the last number", "1,48,1.5\n", 0, true, 1, "1,48,1.5", false},
        {"a letter after the last number", "1,30,40\n1,2,3x", 1, true, 2, "1,2,3x", false},
        {"a number out of range, last in the file", "1,30,40\n1,2,99999999999", 1, true, 2, "1,2,99999999999", false},
        {"a negative one, last in the file", "1,30,40\n1,2,-99999999999", 1, true, 2, "1,2,-99999999999", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Free();
        std::istringstream in(c.text);
        LevelStop stop;
        stop.stopped = !c.stopped;  // must be overwritten either way
        EXPECT_EQ(ReadLevel(in, world, &stop), static_cast<int>(c.blocks));
        ExpectTheSameInSlices(c.text);
        EXPECT_EQ(world.size(), c.blocks);
        if (!world.empty()) {
            EXPECT_EQ(world.front()->GetX(), 24.0f);
            EXPECT_EQ(world.front()->GetY(), 40.0f);
        }
        EXPECT_EQ(stop.stopped, c.stopped);
        if (c.stopped) {
            EXPECT_EQ(stop.line, c.line);
            EXPECT_EQ(stop.found, c.found);
            EXPECT_EQ(stop.atEnd, c.atEnd);
        }
    }
}

TEST_F(LevelReaderTest, AppendsAfterWhatTheWorldHoldsAndTouchesNothingElse)
{
    world.push_back(new Cube(5, 6, nullptr));
    world.push_back(new Cube(7, 8, nullptr));
    const std::vector<GameObject*> before = world;
    std::istringstream in("1,30,40\n2,50,60\n");
    EXPECT_EQ(ReadLevel(in, world), 2);
    ASSERT_EQ(world.size(), 4u);
    EXPECT_EQ(world[0], before[0]);
    EXPECT_EQ(world[1], before[1]);
    EXPECT_EQ(BlocksFrom(world), (Positions{{5, 6}, {7, 8}, {24, 40}, {48, 60}}));
}

TEST_F(LevelReaderTest, ReadsALargeLevelWhole)
{
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += std::to_string(i % 7) + "," + std::to_string(i % 1000) + "," + std::to_string(i) + "\n";
    std::istringstream in(text);
    ASSERT_EQ(ReadLevel(in, world), 100000);
    EXPECT_EQ(BlocksFrom(world).back(), (std::pair<float, float>(984, 99999)));  // 999 snaps to 984
}

// LoadLevel reads LoadLevel.txt from the working directory into the world.
// Time stands still for its slices unless a test says otherwise.
class LoadLevelTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        SetLevelLoadClock(StoppedClock);
    }
    void TearDown() override
    {
        CancelLevelLoads();
        SetLevelLoadClock(nullptr);
        WorldTest::TearDown();
        DestroyAllImages();
    }
    // Ticks on time until the level is in.
    static void TickUntilLoaded()
    {
        for (int tick = 0; LevelLoading() && tick < 100; ++tick)
            ContinueLevelLoad(tick, tick);
        EXPECT_FALSE(LevelLoading());
    }
    TempWorkingDir folder;
};

TEST_F(LoadLevelTest, NoFileAddsNothing)
{
    LoadLevel();
    EXPECT_EQ(objects.size(), 1u);

    // A folder under the level's name cannot be read either.
    std::filesystem::create_directory("LoadLevel.txt");
    LoadLevel();
    EXPECT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0], player);
}

TEST_F(LoadLevelTest, AppendsTheFileAfterTheFigureWithTheBlockSheet)
{
    ASSERT_TRUE(WriteSolidPng(BLOCKS_PICTURE, BLOCKS_MIN_WIDTH, BLOCKS_MIN_HEIGHT, al_map_rgb(90, 60, 30)));
    ASSERT_TRUE(LoadImage(BLOCKS_PICTURE));
    folder.Write("LoadLevel.txt", "0,30,552\r\n1,24,100\r\n2,100,-5");
    LoadLevel();
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(objects[0], player);
    EXPECT_EQ(BlocksFrom(objects, 1), (Positions{{24, 552}, {0, 100}, {96, -5}}));
    for (std::size_t i = 1; i < objects.size(); ++i)
        EXPECT_EQ(objects[i]->GetPicture(), GetImage(BLOCKS_PICTURE));
}

// Every problem with the file is one line on standard error; a missing file is none.
TEST_F(LoadLevelTest, TellsTheAuthorWhatWentWrongInOneLine)
{
    struct Case {
        const char* what;
        std::function<void()> make;
        std::size_t blocks;
        std::string said;  // after 'platformer: the level file "LoadLevel.txt" '
    };
    const Case cases[] = {
        {"missing", [] {}, 0, ""},
        {"whole", [&] { folder.Write("LoadLevel.txt", "\xEF\xBB\xBF" "1,30,40\r\n2,50,60\r\n"); }, 2, ""},
        {"stopped at a bad record",
         [&] { folder.Write("LoadLevel.txt", "1,30,40\n2,50,60\n5,abc,7\n3,100,100\n"); }, 2,
         "stops at line 3, where \"5,abc,7\" is not three numbers; 2 blocks added"},
        {"stopped before any block", [&] { folder.Write("LoadLevel.txt", "5,abc,7\n"); }, 0,
         "stops at line 1, where \"5,abc,7\" is not three numbers; 0 blocks added"},
        {"cut short at the end", [&] { folder.Write("LoadLevel.txt", "1,30,40\n7,8"); }, 1,
         "stops at line 2, where the file ends inside the record \"7,8\"; 1 block added"},
        // Slices stop inside the blanks and the number; the line and the text are still the record's.
        {"stopped past a slice's bytes",
         [&] { folder.Write("LoadLevel.txt", std::string(BYTES_PER_SLICE, '\n') + "1," + std::string(BYTES_PER_SLICE, '0') + "1x,5\n"); },
         0, "stops at line " + std::to_string(BYTES_PER_SLICE + 1) + ", where \"1," + std::string(38, '0') +
                "...\" is not three numbers; 0 blocks added"},
        {"a folder", [] { std::filesystem::create_directory("LoadLevel.txt"); }, 0,
         "is a folder, not a regular file; nothing loaded"},
        // Opening it would wait for a writer that never comes.
        {"a FIFO", [] { ASSERT_EQ(mkfifo("LoadLevel.txt", 0600), 0); }, 0,
         "is a FIFO, not a regular file; nothing loaded"},
        {"a link to itself", [] { std::filesystem::create_symlink("LoadLevel.txt", "LoadLevel.txt"); }, 0,
         "cannot be opened: " + std::string(std::strerror(ELOOP))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartWorld();
        std::filesystem::remove_all("LoadLevel.txt");
        c.make();
        StandardErrorCapture err;
        LoadLevel();
        TickUntilLoaded();
        EXPECT_EQ(objects.size(), 1 + c.blocks);
        EXPECT_EQ(err.Text(), c.said.empty() ? "" : "platformer: the level file \"LoadLevel.txt\" " + c.said + "\n");
    }
}

// A slice reads up to its records or its bytes, or, on a machine too slow for them, what it
// reads before it looks at the clock; the level then goes on at the next tick, and ends as one
// read of the whole file would.
TEST_F(LoadLevelTest, ASliceStopsAtItsRecordsItsBytesOrItsTime)
{
    const auto records = [](std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += std::to_string(i) + "," + std::to_string(i * 7) + "," + std::to_string(i % 50) + "\n";
        return text;
    };
    const std::size_t before = RECORDS_BEFORE_CLOCK;
    const auto blanks = static_cast<std::size_t>(BYTES_PER_SLICE);
    const auto blanksBeforeClock = static_cast<std::size_t>(BYTES_BEFORE_CLOCK);
    struct Case {
        const char* what;
        double (*clock)();
        std::string text;
        std::vector<std::size_t> blocks;  // after Space, then after each tick
    };
    const Case cases[] = {
        {"records", StoppedClock, records(2500), {1000, 2000, 2500}},
        {"bytes of blanks", StoppedClock, std::string(blanks * 5 / 2, ' ') + "1,30,40", {0, 0, 1}},
        {"bytes of a number", StoppedClock, "1," + std::string(blanks * 3 / 2, '0') + "30,40\n", {0, 1}},
        {"time, in records", SlowMachineClock, records(3 * before + 10), {before, 2 * before, 3 * before, 3 * before + 10}},
        {"time, in blanks", SlowMachineClock, std::string(blanksBeforeClock * 5 / 2, '\n') + "1,30,40\n", {0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartWorld();
        SetLevelLoadClock(c.clock);
        folder.Write("LoadLevel.txt", c.text);
        std::vector<std::size_t> blocks;
        LoadLevel();
        blocks.push_back(objects.size() - 1);
        for (int tick = 0; LevelLoading() && tick < 10; ++tick) {
            ContinueLevelLoad(tick, tick);
            blocks.push_back(objects.size() - 1);
        }
        EXPECT_EQ(blocks, c.blocks);
        CancelLevelLoads();
    }
}

// Space while a level loads waits its turn and reads the file as it is then; S works meanwhile.
TEST_F(LoadLevelTest, ALevelLoadingKeepsTheGameGoingAndAddsAsOneReadWould)
{
    std::string text;
    for (int i = 0; i < 2500; ++i)
        text += std::to_string(i) + "," + std::to_string(i * 7) + "," + std::to_string(i % 50) + "\n";
    const std::string added = "1,30,40\n2,50,60\n";
    std::vector<GameObject*> oneShot;
    std::istringstream first(text), second(text + added);
    ReadLevel(first, oneShot);
    ReadLevel(second, oneShot);
    const Positions expected = BlocksFrom(oneShot);
    for (GameObject* object : oneShot)
        delete object;

    auto levelBlocks = [] {
        Positions found;
        for (GameObject* object : objects)
            if (object->GetID() == BLOCK)
                found.emplace_back(object->GetX(), object->GetY());
        return found;
    };
    folder.Write("LoadLevel.txt", text);
    HandleKeyDown(ALLEGRO_KEY_SPACE, 0, 0);
    folder.Write("LoadLevel.txt", text + added);
    HandleKeyDown(ALLEGRO_KEY_SPACE, 0, 0);
    HandleKeyDown(ALLEGRO_KEY_S, 0, 0);
    EXPECT_EQ(objects.size(), 1 + RECORDS_PER_SLICE + SNOW_BURST_SIZE);
    TickUntilLoaded();
    EXPECT_EQ(levelBlocks(), expected);
}

TEST_F(LoadLevelTest, SpaceTwiceDoublesEveryBlock)
{
    folder.Write("LoadLevel.txt", "0,30,552\n1,50,100\n");
    HandleKeyDown(ALLEGRO_KEY_SPACE, 0, 0);
    HandleKeyUp(ALLEGRO_KEY_SPACE);
    HandleKeyDown(ALLEGRO_KEY_SPACE, 0, 0);
    EXPECT_TRUE(keys[SPACE]);
    EXPECT_EQ(BlocksFrom(objects, 1), (Positions{{24, 552}, {48, 100}, {24, 552}, {48, 100}}));
}

// Space's message goes to standard error, which may be a pipe nobody reads: the load goes on
// without it then, and once there is room the message is there again, whole.
TEST_F(LoadLevelTest, AFullStandardErrorNeverHoldsTheLoad)
{
    folder.Write("LoadLevel.txt", "0,30,552\n5,abc,7\n");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(fcntl(ends[1], F_SETPIPE_SZ, 4096), 4096);
    const std::string filler(4096, 'x');
    ASSERT_EQ(write(ends[1], filler.data(), filler.size()), 4096);
    const int savedError = dup(STDERR_FILENO);
    dup2(ends[1], STDERR_FILENO);
    alarm(20);  // a write that waited for the reader would hang the suite
    LoadLevel();
    std::string got(8192, '\0');
    got.resize(std::max<ssize_t>(read(ends[0], got.data(), got.size()), 0));
    LoadLevel();
    alarm(0);
    dup2(savedError, STDERR_FILENO);
    close(savedError);
    EXPECT_EQ(got, filler);
    got.assign(256, '\0');
    got.resize(std::max<ssize_t>(read(ends[0], got.data(), got.size()), 0));
    EXPECT_EQ(got, "platformer: the level file \"LoadLevel.txt\" stops at line 2, where \"5,abc,7\" is not three "
                   "numbers; 1 block added\n");
    EXPECT_EQ(BlocksFrom(objects, 1), (Positions{{24, 552}, {24, 552}}));
    close(ends[0]);
    close(ends[1]);
}

}  // namespace
