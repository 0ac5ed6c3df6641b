#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <string>

// What the game writes on standard error while one of these lives, for a test to read.
class StandardErrorCapture {
public:
    StandardErrorCapture() : file_(std::tmpfile()), saved_(dup(STDERR_FILENO))
    {
        dup2(fileno(file_), STDERR_FILENO);
    }
    ~StandardErrorCapture()
    {
        Restore();
        std::fclose(file_);
    }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    // Everything written so far.
    std::string Text() const
    {
        std::string text;
        char buffer[4096];
        for (off_t at = 0;;) {
            const ssize_t got = pread(fileno(file_), buffer, sizeof buffer, at);
            if (got <= 0)
                return text;
            text.append(buffer, static_cast<std::size_t>(got));
            at += got;
        }
    }

private:
    void Restore()
    {
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
            saved_ = -1;
        }
    }

    std::FILE* file_;
    int saved_;
};

// Makes operator new fail, as under a memory limit, for allocations of exactly `size` bytes
// after `allowed` more of them have succeeded, until this is destroyed. Sizes are those of the
// game's objects, so the test's own allocations go on.
class AllocationFailure {
public:
    AllocationFailure(std::size_t size, int allowed);
    ~AllocationFailure();
    AllocationFailure(const AllocationFailure&) = delete;
    AllocationFailure& operator=(const AllocationFailure&) = delete;
};
