#include "app/output.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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

bool WriteLineWithoutWaiting(int fd, const char* line, std::size_t size)
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
    return write(fd, line, size) >= 0 || errno == EAGAIN || errno == EINTR;
}
