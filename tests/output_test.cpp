#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/output.h"

namespace {

// A pipe shrunk to one 4 KiB page, so that it fills with one write.
class SmallPipe : public ::testing::Test {
protected:
    int ends[2] = {-1, -1};
    void SetUp() override
    {
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(fcntl(ends[1], F_SETPIPE_SZ, 4096), 4096);
        alarm(20);  // a write that blocks would otherwise hang the suite
    }
    void TearDown() override
    {
        alarm(0);
        for (int fd : ends)
            if (fd >= 0)
                close(fd);
    }
    std::string Drain()
    {
        std::string got(8192, '\0');
        const ssize_t n = read(ends[0], got.data(), got.size());
        got.resize(n > 0 ? n : 0);
        return got;
    }
};

TEST_F(SmallPipe, AReaderThatKeepsUpGetsEveryLineWhole)
{
    FrameRateOutput out(ends[1]);
    for (const char* line : {"60\n", "59.9401\n", "1e+07\n"}) {
        out.Write(line);
        EXPECT_EQ(Drain(), line);
    }
    EXPECT_FALSE(out.Ended());
}

TEST_F(SmallPipe, ALineTheReaderCannotTakeNowIsDroppedNotWaitedFor)
{
    FrameRateOutput out(ends[1]);
    const std::string filler(4096, 'x');
    ASSERT_EQ(write(ends[1], filler.data(), filler.size()), 4096);
    out.Write("60\n");
    out.Write("61\n");
    EXPECT_EQ(Drain(), filler);
    out.Write("62\n");
    EXPECT_EQ(Drain(), "62\n");
    EXPECT_FALSE(out.Ended());
}

TEST_F(SmallPipe, AReaderThatLeftEndsTheOutputAndTheGameLivesOn)
{
    PrepareStandardStreams();  // without it the broken pipe's signal ends this test program
    FrameRateOutput out(ends[1]);
    out.Write("60\n");
    close(ends[0]);
    ends[0] = -1;
    out.Write("60\n");
    EXPECT_TRUE(out.Ended());
}

TEST(StandardStreams, ClosedOnesAreOpenedOnDevNull)
{
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        close(0);
        close(1);
        close(2);
        PrepareStandardStreams();
        int wrong = 0;
        for (int fd = 0; fd <= 2; ++fd) {
            struct stat s {};
            const int mode = fcntl(fd, F_GETFL) & O_ACCMODE;
            if (fstat(fd, &s) != 0 || s.st_rdev != null.st_rdev || mode != (fd == 0 ? O_RDONLY : O_WRONLY))
                wrong |= 1 << fd;
        }
        _exit(wrong);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "bit n set: descriptor n is not /dev/null, opened the right way";
}

}  // namespace
