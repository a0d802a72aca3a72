// Notices of the console program: one line on standard error each.
#include <cstdio>

#include "frontend/console.h"
#include "convert/run/notice.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

std::string noticeLine(const char* text, const char* caption, unsigned style) {
    std::string line;
    if (*caption) line.append(caption).append(": ");
    if (style == notice_warning) line += "warning: ";
    return line.append(text).append("\n");
}

void notice(const char* text, const char* caption, unsigned style) {
    const std::string line = noticeLine(text, caption, style);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

bool isTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}
