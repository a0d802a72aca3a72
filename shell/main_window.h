// The Windows program: one main window with a help text, or the picture of
// the model converted last, and a two-command menu bar; the translate
// command converts an .RSR file into an .OBJ file.
// What the window's parts share.
#pragma once

#include <windows.h>

// Menu command ids, as in res/quarlen.rc.
enum : WORD {
    cmd_translate = 257,
    cmd_exit = 258,
};

// Class name, title, menu and icon name.
inline constexpr const char* progname = "quarlen";

// Set while a conversion runs: a close request or another translate
// command arriving from inside one of its notices is refused.
extern unsigned char fileopen;

void SetTitle(HWND wn, const char* S);

// help_font.cpp: the font of the help text, the system's message font at
// the window's DPI (null: the device context's own).
extern HFONT helpfont;
void UpdateHelpFont(HWND wn);

// translate.cpp: the menu commands.
LRESULT MenuCommand(HWND wn, UINT iMessage, WPARAM S, LPARAM L);
