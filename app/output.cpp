#include "app/output.h"

#include <cstdio>
#include <cstring>

#include <ostream>

namespace {

// Standard error's descriptor, the same on both platforms.
constexpr int STANDARD_ERROR = 2;

}  // namespace

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

void TellOnStandardError(const std::string& lines)
{
    if (!lines.empty())
        WriteLineWithoutWaiting(STANDARD_ERROR, lines.data(), lines.size());
}

void TellOnStandardError(const char* lines)
{
    // No std::string here: making one could fail the same way.
    WriteLineWithoutWaiting(STANDARD_ERROR, lines, std::strlen(lines));
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
