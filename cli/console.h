// What the console program prints, shared by its one-file and batch forms.
#pragma once

#include <string>

// A notice as one line: "CAPTION: warning: TEXT\n", the caption and the
// "warning: " left out when empty or plain.
std::string noticeLine(const char* text, const char* caption, unsigned style);

// True when standard error, or standard output, goes to a terminal.
bool stderrIsTerminal();
bool stdoutIsTerminal();
