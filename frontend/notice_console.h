// Notices as the console program prints them: one line each on standard
// error, "CAPTION: warning: TEXT". The web page and the test tools print
// the same lines.
#pragma once

#include <cstdio>
#include <string>

#include "convert/format/notice.h"

namespace quarlen {

// A notice as one line: "CAPTION: warning: TEXT\n", the caption and the
// "warning: " left out when empty or plain.
std::string noticeLine(const char* text, const char* caption, unsigned style);

// Prints a notice's line on standard error.
void printNotice(const char* text, const char* caption, unsigned style);

// A run's sink that prints each notice's line on standard error.
NoticeSink consoleNotices();

// True when stream (stderr, stdout) goes to a terminal.
bool isTerminal(FILE* stream);

}  // namespace quarlen
