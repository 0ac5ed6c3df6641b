#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>
#include <string>

#include "app/output.h"

namespace {

// A pipe of one 4 KiB page, its write end a descriptor as the game's standard output is.
class SmallPipe : public ::testing::Test {
protected:
    HANDLE reader = nullptr;
    int fd = -1;
    void SetUp() override
    {
        HANDLE writer = nullptr;
        ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 4096));
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(writer), _O_WRONLY);
        ASSERT_GE(fd, 0);
    }
    void TearDown() override
    {
        if (reader != nullptr)
            CloseHandle(reader);
    }
    // What has arrived once the writing has settled.
    std::string Drain()
    {
        std::string got;
        char bytes[65536];
        DWORD ready = 0, read = 0;
        for (int quiet = 0; quiet < 5; ++quiet) {
            Sleep(50);
            while (PeekNamedPipe(reader, nullptr, 0, nullptr, &ready, nullptr) && ready > 0 &&
                   ReadFile(reader, bytes, sizeof bytes, &read, nullptr) && read > 0) {
                got.append(bytes, read);
                quiet = 0;
            }
        }
        return got;
    }
};

TEST_F(SmallPipe, AReaderThatKeepsUpGetsEveryLineWhole)
{
    FrameRateOutput out(fd);
    for (const char* line : {"60\n", "59.9401\n", "1e+07\n"}) {
        out.Write(line);
        EXPECT_EQ(Drain(), line);
    }
    EXPECT_FALSE(out.Ended());
}

TEST_F(SmallPipe, LinesAReaderDoesNotTakeAreDroppedWholeNotWaitedFor)
{
    // Far more than the pipe and the backlog hold: had a write waited, this would never end.
    FrameRateOutput out(fd);
    const std::string line = "59.9401\n";
    for (int i = 0; i < 20000; ++i)
        out.Write(line);
    const std::string got = Drain();
    EXPECT_GT(got.size(), 4096u);
    EXPECT_LT(got.size(), 20000 * line.size());
    for (std::size_t at = 0; at < got.size(); at += line.size())
        ASSERT_EQ(got.compare(at, line.size(), line), 0) << "a line cut or mixed at byte " << at;
    out.Write("60\n");
    EXPECT_EQ(Drain(), "60\n") << "once the reader has caught up, lines go through again";
}

TEST_F(SmallPipe, OnceTheReaderHasGoneTheLinesStop)
{
    FrameRateOutput out(fd);
    CloseHandle(reader);
    reader = nullptr;
    for (int i = 0; i < 100 && !out.Ended(); ++i) {
        out.Write("60\n");
        Sleep(10);
    }
    EXPECT_TRUE(out.Ended());
}

}  // namespace
