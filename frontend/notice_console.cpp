// Notices of the console program: one line on standard error each.
#include <cstdio>

#include "frontend/notice_console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quarlen {

std::string noticeLine(const char* text, const char* caption, unsigned style) {
    std::string line;
    if (*caption) line.append(caption).append(": ");
    if (style == notice_warning) line += "warning: ";
    return line.append(text).append("\n");
}

void printNotice(const char* text, const char* caption, unsigned style) {
    const std::string line = noticeLine(text, caption, style);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

NoticeSink consoleNotices() {
    return {[](void*, const char* text, const char* caption, unsigned style) { printNotice(text, caption, style); },
            nullptr};
}

bool isTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace quarlen
