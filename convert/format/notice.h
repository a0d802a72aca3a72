// The one thing the converter needs from a user interface: show a text with a
// caption and a style, and return once the user has dismissed it. Every run
// is given a sink of its caller's: the console program prints a line, the
// Windows program shows a message box with no owner, the batch and the web
// page collect the lines, the tests record them. Runs on several threads
// each tell their own listener. The core never includes a Windows header.
#pragma once

#include <cassert>

namespace quarlen {

// Styles carry the values of the Windows message box styles they stand for.
enum : unsigned {
    notice_plain = 0x00,    // MB_OK
    notice_warning = 0x30,  // MB_OK | MB_ICONEXCLAMATION
};

// Where one run's notices go. show must be set.
struct NoticeSink {
    void (*show)(void* ctx, const char* text, const char* caption, unsigned style) = nullptr;  // shows one notice
    void* ctx = nullptr;  // handed to show
};

inline void tellSink(const NoticeSink& sink, const char* text, const char* caption, unsigned style) {
    assert(sink.show && "every run is given a notice sink");
    sink.show(sink.ctx, text, caption, style);
}

}  // namespace quarlen
