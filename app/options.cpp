#include "app/options.h"

#include "app/exit_status.h"
#include "app/output.h"
#include "app/rules.h"
#include "resources/GameFolders.h"
#include "resources/Pictures.h"

#include <cerrno>
#include <cstring>
#include <iomanip>

#ifndef PLATFORMER_VERSION
#error "the build defines PLATFORMER_VERSION from the project's version"
#endif

namespace {

constexpr const char* USAGE = "Usage: platformer [--help | --version]";

void PrintHelp(std::ostream& out)
{
    out << USAGE << "\n\n"
        << "A small 2D platform game: run and jump through a world of blocks.\n"
        << "With no arguments it opens its window and plays.\n\n"
        << "Options:\n"
        << "  -h, --help      print this help and exit\n"
        << "      --version   print the name and version and exit\n\n"
        << "Keys:\n";
    for (const KeyHelp& row : Controls())
        out << "  " << std::left << std::setw(17) << row.keys << row.action << '\n';
    out << "The mouse only points: its buttons and wheel do nothing.\n\n"
        << "Gamepad (any number of them, plugged in at any time):\n";
    for (const KeyHelp& row : PadControls())
        out << "  " << std::left << std::setw(20) << row.keys << row.action << '\n';
    out << "Other pads: the buttons Allegro numbers 0, 1, 2, 4 and 5. A pad never quits.\n\n"
        << "Files:\n"
        << "  ";
    for (const GamePicture& picture : GAME_PICTURES)
        out << (&picture == GAME_PICTURES ? "" : ", ") << picture.name;
    out << "\n"
        << "      the pictures, read at start-up, all three from one folder: the current\n"
        << "      folder if it holds all three, else the game's data folder\n"
        << "      (/usr/share/games/platformer when installed from the package), else the\n"
        << "      executable's own folder\n"
        << "  LoadLevel.txt\n"
        << "      the level added by Space, read from the current folder, else the sample\n"
        << "      level in the game's data folder\n"
        << "  This copy of the game looks in, in this order:\n      " << DescribeFolders(GameFolders()) << "\n\n"
        << "Exit status: 0 when the game ends normally, 1 when a picture cannot be loaded,\n"
        << "the keyboard, the mouse or another part of the game cannot start, the display is\n"
        << "lost or refuses a request of the game, or this help cannot be written; 2 for a\n"
        << "wrong argument; 255 when the library or the window cannot start.\n";
}

// An answer that never reached its reader (a full disk, a reader gone) is no answer: say so
// where it can still be read, and end with a failure. errno is cleared before the answer is
// written, so that any reason found here is the answer's own.
int Delivered(std::ostream& out, std::ostream& err, const char* what)
{
    out.flush();
    if (out)
        return ENDED_NORMALLY;
    const int error = errno;
    err << "platformer: cannot write " << what;
    if (error != 0)
        err << ": " << std::strerror(error);
    err << '\n' << std::flush;
    return CANNOT_GO_ON;
}

}  // namespace

const std::vector<KeyHelp>& Controls()
{
    static const std::string snowBurst =
        "Release a burst of " + std::to_string(SNOW_BURST_SIZE) + " snowflakes at the figure";
    static const std::vector<KeyHelp> rows = {
        {"Left / Right", "Walk left / right (Left wins when both are held)"},
        {"Up", "Jump; the longer it is held, the higher the jump"},
        {"Down", "Place two blocks side by side under the mouse pointer"},
        {"Space", "Add the blocks of LoadLevel.txt (every press adds them again)"},
        {"S", snowBurst.c_str()},
        {"R", "Put the figure back at its start, at the top of the world"},
        {"F11 / Alt+Enter", "Switch between the window and fullscreen"},
        {"Escape", "Quit (closing the window does the same)"},
    };
    return rows;
}

namespace {

// A pad's button does what its key does, told in the same words.
const char* AsKey(const char* keys)
{
    for (const KeyHelp& row : Controls())
        if (std::strcmp(row.keys, keys) == 0)
            return row.action;
    return "";
}

}  // namespace

const std::vector<KeyHelp>& PadControls()
{
    static const std::vector<KeyHelp> rows = {
        {"Left stick / D-pad", "Walk left / right (the stick from half its travel)"},
        {"A / Cross", AsKey("Up")},
        {"B / Circle", AsKey("Down")},
        {"X / Triangle", AsKey("S")},
        {"LB / L1", AsKey("Space")},
        {"RB / R1", AsKey("R")},
    };
    return rows;
}

CommandLine ReadCommandLine(int argc, const char* const* argv)
{
    CommandLine line;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            // The end of the options; the game takes no other arguments.
            if (i + 1 < argc) {
                line.action = CommandLine::Action::Wrong;
                line.wrongArgument = argv[i + 1];
                return line;
            }
            break;
        }
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            version = true;
        } else {
            line.action = CommandLine::Action::Wrong;
            line.wrongArgument = arg;
            return line;
        }
    }
    if (help)
        line.action = CommandLine::Action::Help;
    else if (version)
        line.action = CommandLine::Action::Version;
    return line;
}

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    const CommandLine line = ReadCommandLine(argc, argv);
    errno = 0;
    switch (line.action) {
    case CommandLine::Action::Play:
        return std::nullopt;
    case CommandLine::Action::Help:
        PrintHelp(out);
        return Delivered(out, err, "the help");
    case CommandLine::Action::Version:
        out << "platformer " << PLATFORMER_VERSION << '\n';
        return Delivered(out, err, "the version");
    case CommandLine::Action::Wrong:
        err << "platformer: unknown argument \"" << Printable(line.wrongArgument) << "\"\n" << USAGE << '\n';
        return WRONG_ARGUMENT;
    }
    return WRONG_ARGUMENT;
}
