#include "app/output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <ostream>

void PrepareStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened > fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

std::string Printable(const std::string& text)
{
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    return shown;
}

namespace {

bool WriteWithoutWaiting(int fd, const char* text, std::size_t size)
{
    // Non-blocking mode belongs to the open file we share with the shell (its terminal too),
    // and a private re-opening through /proc works for pipes only; so ask first. A pipe that
    // reports room has a free page, so a line far shorter than PIPE_BUF goes in whole (only
    // another writer on the same pipe could take that page in between); terminals, files and
    // sockets that report room take a line this short too. An error or hang-up also shows as
    // ready, and the write then fails at once.
    pollfd out{fd, POLLOUT, 0};
    if (poll(&out, 1, 0) != 1)
        return true;
    if ((out.revents & POLLNVAL) != 0)
        return false;
    return write(fd, text, size) >= 0 || errno == EAGAIN || errno == EINTR;
}

}  // namespace

bool WriteLineWithoutWaiting(int fd, const std::string& line)
{
    return WriteWithoutWaiting(fd, line.data(), line.size());
}

void TellOnStandardError(const std::string& lines)
{
    if (!lines.empty())
        WriteWithoutWaiting(STDERR_FILENO, lines.data(), lines.size());
}

void TellOnStandardError(const char* lines)
{
    // No std::string here: making one could fail the same way.
    WriteWithoutWaiting(STDERR_FILENO, lines, std::strlen(lines));
}

void FrameRateOutput::Write(const std::string& line)
{
    if (!ended_ && !WriteLineWithoutWaiting(fd_, line))
        ended_ = true;
}

void PrintFrameRate(double& lastTime, double now, std::ostream& out)
{
    const float fps = static_cast<float>(1.0 / (now - lastTime));
    lastTime = now;
    out << fps << std::endl;
}
