// Steps of one translate command as a person takes them, and what to
// expect of its notices and its output file.
#pragma once

#include <string>
#include <vector>

#include "remote.h"

struct DialogAnswers {
    std::string in, out;
    bool replace = false;       // answer Yes when asked to replace the output
    std::string deleteBeforeSave;  // a file to remove while the Save As dialog is open
};

// Picks translate and answers both dialogs; false when a dialog did not
// come or did not take the answer (what went wrong is in why).
bool answerDialogs(const Program& p, const DialogAnswers& a, std::string& why);

// Reads and dismisses every notice the command shows, in order, until the
// command has returned.
std::vector<Notice> collectNotices(const Program& p);

struct Expected {
    std::string text, caption;
    IconKind icon;
};

// Empty when the notices are as expected, else what differs.
std::string compareNotices(const std::vector<Notice>& seen, const std::vector<Expected>& want);

// Empty when the two files hold the same bytes, else what differs.
std::string compareFiles(const std::string& got, const std::string& want);
bool fileExists(const std::string& path);
