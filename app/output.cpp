#include "app/output.h"

#include <cstdio>

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

bool WriteLineWithoutWaiting(int fd, const std::string& line)
{
    return WriteLineWithoutWaiting(fd, line.data(), line.size());
}

void FrameRateOutput::Write(const std::string& line)
{
    if (!ended_ && !WriteLineWithoutWaiting(fd_, line))
        ended_ = true;
}
