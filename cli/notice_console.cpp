// Notices of the console program: one line on standard error each.
#include <cstdio>

#include "convert/notice.h"

void notice(const char* text, const char* caption, unsigned style) {
    if (*caption) std::fprintf(stderr, "%s: ", caption);
    if (style == notice_warning) std::fputs("warning: ", stderr);
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}
