// The Windows program: one main window with a help text and a two-command
// menu bar; the translate command converts an .RSR file into an .OBJ file.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// Menu command ids, as in res/quarlen.rc.
enum : WORD {
    cmd_translate = 257,
    cmd_exit = 258,
};

extern const char* const progname;  // class name, title, menu and icon name
extern const char* const help;      // the text painted in the client area
extern HINSTANCE Instance;
extern HWND mwn;
extern HMENU mainmenu;

// Set while a conversion runs: a close request or another translate
// command arriving from inside one of its notices is refused.
extern unsigned char fileopen;

// Path buffers of the translate command and the name part of the file
// chosen last, proposed by the next dialog. The process code page is UTF-8
// (res/app.manifest), where a full path of 260 characters takes up to 3
// bytes each. The Wine suite builds a copy with smaller buffers, to reach
// the notice for a name that does not fit.
#ifndef QUARLEN_PATH_BYTES
#define QUARLEN_PATH_BYTES (260 * 3 + 1)
#endif
inline constexpr DWORD path_bytes = QUARLEN_PATH_BYTES;
extern char file[path_bytes];
extern char File[path_bytes];
extern char tit[path_bytes];
extern OPENFILENAMEA ofn;

// The font of the help text: the system's message font at the window's DPI.
extern HFONT helpfont;

// main_window.cpp
HWND newwindow(const char* clas, const char* name, long c);
LRESULT CALLBACK MainWinProc(HWND wn, UINT iMessage, WPARAM S, LPARAM L);
void SetTitle(HWND wn, const char* S);

// help_font.cpp
void UpdateHelpFont(HWND wn);

// translate.cpp
int GetFileName(HWND wn, char* path, const char* t, const char* f, int write);
LRESULT MenuCommand(HWND wn, UINT iMessage, WPARAM S, LPARAM L);

// drop_batch.cpp: converting dropped or named files and folders, off the
// window's thread.
void StartBatch(HWND wn, const std::vector<std::string>& paths);
void DropFiles(HWND wn, HDROP drop);
std::vector<std::string> CommandLinePaths();
bool BatchMessage(HWND wn, UINT iMessage, WPARAM S, LPARAM L);  // true when it was the batch's
