// The checks made on a running program, in the order the driver runs them.
#pragma once

#include <functional>
#include <string>

#include "remote.h"

// Where the program and the test files are, as Windows paths in UTF-8.
struct Setup {
    std::string exe;
    std::string shortExe;  // the same program with 200-byte path buffers
    std::string data;      // inputs, made by make_inputs
    std::string out;       // data\out: what the program writes
    std::string expected;  // data\expected: what the Linux program wrote
    std::string longdir;   // a folder under data whose path is over 127 characters
    std::string unicodeIn; // an input whose folders and name hold accented and CJK characters
    std::string deepIn;    // an input whose path has 250 characters, most of them CJK
    std::string version;   // the project version, as the Linux program tells it
};

// session.cpp
void checkMainWindow(const Program& p);
// What says of the main window's client area (its pixels, its width):
// empty once it is as expected (waiting up to 3 s), else what differs.
std::string clientShows(const Program& p, const std::function<std::string(const Pixels&, int)>& says);
// Empty once the client area shows the help text as this process draws it.
std::string helpDiffers(const Program& p);
// The first translate: both dialogs, the "Finished" notice, the refusals
// while it is shown, and the output. False when the program got stuck.
bool checkFirstConversion(const Setup& s, const Program& p);
// The proposed names of later dialogs, and cancelling either dialog.
bool checkDialogs(const Setup& s, const Program& p);
// WM_CLOSE ends the program with status 0.
void checkCloseExit(Program& p);
// Status 0 after "&exit" and after the close box, each in a run of its own.
void checkExits(const Setup& s);

// outcomes.cpp: every outcome of a conversion and every "bad filename" case.
bool checkOutcomes(const Setup& s, const Program& p);

// unicode_paths.cpp: names outside any ANSI code page, the longest paths
// the dialogs return, and the notice for a name too long for the buffer.
bool checkUnicodePaths(const Setup& s, const Program& p);
void checkNameTooLong(const Setup& s);
