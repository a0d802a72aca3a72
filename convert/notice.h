// The one thing the converter needs from a user interface: show a text with a
// caption and a style, and return once the user has dismissed it.
//
// Each front end links its own definition of notice(): the console program
// prints a line, the Windows program shows a message box with no owner, and
// the tests record what was shown. The core never includes a Windows header.
#pragma once

// Styles carry the values of the Windows message box styles they stand for.
enum : unsigned {
    notice_plain = 0x00,    // MB_OK
    notice_warning = 0x30,  // MB_OK | MB_ICONEXCLAMATION
};

void notice(const char* text, const char* caption, unsigned style);
