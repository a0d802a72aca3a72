// The picture of the model converted last, which the main window shows in
// place of the help text, with the model's file name under it.
#pragma once

#include <windows.h>

#include "convert/picture/image.h"

// Pixels on each side of a picture that fills wn's client area as it is
// now, above the name's line: 64 to max_picture_size.
int PictureSizeFor(HWND wn);

// Keeps image, a square picture (straight RGBA) made for wn, blended over
// the window's white, and the name part of path, and repaints wn. An empty
// image (width 0) forgets what was kept: the help text shows again.
void ShowPicture(HWND wn, const quarlen::Image& image, const char* path);

// Paints the kept picture and its name into dc, which covers the client
// area client with the name's font selected; false when none is kept.
bool PaintPicture(HDC dc, const RECT& client);
