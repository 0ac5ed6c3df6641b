#pragma once

#include <iosfwd>
#include <cstddef>
#include <string>

// Run first in main, before the library opens anything: a closed descriptor 0, 1 or 2 is
// opened on /dev/null, or the window system's connection would take its number and receive
// our output. A reader of our output that goes away becomes a write error, not the end of
// the game.
void PrepareStandardStreams();

// text as a terminal can show it: every byte outside printable ASCII (control bytes, broken
// or any other UTF-8) written as \xNN, so that no text we echo can steer the terminal.
std::string Printable(const std::string& text);

// Writes one line to fd without ever waiting for its reader: a line the reader cannot take
// right now is dropped. False after a write error (the reader has gone).
bool WriteLineWithoutWaiting(int fd, const std::string& line);
// The same without making a string, for when memory has run out.
bool WriteLineWithoutWaiting(int fd, const char* line, std::size_t size);

// The game's own lines for the player ("platformer: ...", each ending in a line break), all
// written here and like the frame-rate lines: standard error may be a full pipe nobody
// reads, and a line it cannot take now is dropped rather than waited for.
void TellOnStandardError(const std::string& lines);
// The same for a line that must get out even where no memory is left to make a std::string.
void TellOnStandardError(const char* lines);

// The frame-rate lines. A line the reader cannot take right now is dropped rather than
// waited for; after a write error (the reader has gone) nothing more is written.
class FrameRateOutput {
public:
    explicit FrameRateOutput(int fd = 1) : fd_(fd) {}

    void Write(const std::string& line);
    bool Ended() const { return ended_; }

private:
    int fd_;
    bool ended_ = false;
};

// The frame-rate line: the rate since lastTime, which becomes now.
void PrintFrameRate(double& lastTime, double now, std::ostream& out);
