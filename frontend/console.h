// What the console program prints, shared by its one-file and batch forms.
#pragma once

#include <cstdio>
#include <string>

// A notice as one line: "CAPTION: warning: TEXT\n", the caption and the
// "warning: " left out when empty or plain.
std::string noticeLine(const char* text, const char* caption, unsigned style);

// True when stream (stderr, stdout) goes to a terminal.
bool isTerminal(FILE* stream);
