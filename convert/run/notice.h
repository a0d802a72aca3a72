// The one thing the converter needs from a user interface: show a text with a
// caption and a style, and return once the user has dismissed it.
//
// Each front end links its own definition of notice(): the console program
// prints a line, the Windows program shows a message box with no owner, and
// the tests record what was shown. A run may instead be given a sink of its
// own, so that runs on several threads each tell their own listener. The core
// never includes a Windows header.
#pragma once

// Styles carry the values of the Windows message box styles they stand for.
enum : unsigned {
    notice_plain = 0x00,    // MB_OK
    notice_warning = 0x30,  // MB_OK | MB_ICONEXCLAMATION
};

void notice(const char* text, const char* caption, unsigned style);

// Where one run's notices go. An empty sink means notice().
struct NoticeSink {
    void (*show)(void* ctx, const char* text, const char* caption, unsigned style) = nullptr;
    void* ctx = nullptr;
};

inline void tellSink(const NoticeSink& sink, const char* text, const char* caption, unsigned style) {
    if (sink.show)
        sink.show(sink.ctx, text, caption, style);
    else
        notice(text, caption, style);
}
