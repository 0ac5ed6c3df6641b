#pragma once

// How the game ends, as --help and the manual page tell it.
enum ExitStatus : int {
    ENDED_NORMALLY = 0,  // Escape, the close button, or --help and --version answered
    // Something the game needs failed: a picture, a start-up step, the display while the game
    // ran, or the answer to --help or --version that could not be written.
    CANNOT_GO_ON = 1,
    WRONG_ARGUMENT = 2,
    NO_LIBRARY_OR_WINDOW = 255,  // the library or the window cannot start, mostly for want of a display
};
