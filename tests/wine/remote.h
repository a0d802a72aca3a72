// Driving another process's windows: starting it, finding its windows by
// polling, reading and filling their controls, and reading its notices.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The driver keeps all text in UTF-8 and talks to Windows in UTF-16, so
// that names outside any ANSI code page survive.
std::wstring wide(const std::string& utf8);
std::string utf8(const std::wstring& w);

struct Program {
    PROCESS_INFORMATION pi{};
    HWND main = NULL;
};

// Starts exe, with args on its command line when given, and waits for its
// main window (class "quarlen").
bool startProgram(const std::string& exe, Program& p, const std::string& args = "");
// Waits for the process to end; returns its exit status, or -1 on timeout.
long waitExit(Program& p, DWORD ms);
void endProgram(Program& p);

std::string className(HWND wn);
std::string textOf(HWND wn);  // WM_GETTEXT, which also works across processes
std::string windowTitle(HWND wn);

// The first top-level dialog-class window of process pid, other than
// 'other', whose title is title (any title when title is null).
HWND findDialog(DWORD pid, const char* title, HWND other = NULL);
HWND waitDialog(DWORD pid, const char* title, DWORD ms, HWND other = NULL);
// Waits until wn is gone.
bool waitGone(HWND wn, DWORD ms);

// Returns once the thread of wn has taken a message from its queue: by then
// a handler that shows a message box has created it, or has returned.
bool roundTrip(HWND wn);

// The file-name box of an Open or Save As dialog, and the chosen file type.
HWND fileNameBox(HWND dlg);
std::string fileTypeText(HWND dlg);
// Types name into the file-name box and presses OK.
void chooseFile(HWND dlg, const std::string& name);
void pressButton(HWND dlg, int id);

// 32-bit pixels of a w by h bitmap, row by row from the top.
using Pixels = std::vector<DWORD>;
Pixels pixelsOf(HDC dc, HBITMAP bmp, int w, int h);

enum class IconKind { none, exclamation, other };

struct Notice {
    std::string caption;
    std::string text;
    IconKind icon = IconKind::none;
};

Notice readNotice(HWND box);
const char* iconName(IconKind k);
