#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What the command line asks for. The game takes no arguments to play; the rest is for people
// who type `platformer --help` to learn the keys.
struct CommandLine {
    enum class Action { Play, Help, Version, Wrong };
    Action action = Action::Play;
    std::string wrongArgument;  // the first argument we do not know, for Action::Wrong
};

CommandLine ReadCommandLine(int argc, const char* const* argv);

// One row of the controls as --help, the man page, the README and the metainfo all show them.
struct KeyHelp {
    const char* keys;
    const char* action;
};
const std::vector<KeyHelp>& Controls();
// The same for a gamepad's buttons and sticks.
const std::vector<KeyHelp>& PadControls();

// Answers --help, --version and mistakes before anything is started: the status to end with,
// or nothing when the game should play.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
