// Converting files and folders dropped on the window or named on the
// command line, off the window's thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// Starts converting every .rsr file among paths, folders walked to the
// bottom, each to NAME.obj beside it; outputs that exist are left alone.
// The window's title, which starts with `name`, shows how far they are.
// False when a batch runs already.
bool StartBatch(HWND wn, const std::vector<std::string>& paths, const char* name);

std::vector<std::string> DroppedPaths(HDROP drop);
std::vector<std::string> CommandLinePaths();

// Handles the batch's own messages; true when iMessage was one. `over` is
// set once the batch has ended and its summary notice is dismissed.
bool BatchMessage(UINT iMessage, WPARAM S, bool& over);
