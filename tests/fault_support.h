#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

// What the game writes on standard error while one of these lives, for a test to read.
class StandardErrorCapture {
public:
    StandardErrorCapture() : file_(std::tmpfile()), saved_(dup(STDERR_FILENO)) { dup2(fileno(file_), STDERR_FILENO); }
    ~StandardErrorCapture()
    {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        std::fclose(file_);
    }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    std::string Text() const
    {
        std::string text(1 << 16, '\0');
        text.resize(static_cast<std::size_t>(std::max<ssize_t>(pread(fileno(file_), text.data(), text.size(), 0), 0)));
        return text;
    }

private:
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
