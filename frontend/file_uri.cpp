#include "frontend/file_uri.h"

#include <cassert>
#include <cstring>

namespace quarlen {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// True when s starts with word (in lower case), its letters in any case.
bool startsWithLetters(const std::string& s, const char* word) {
    const size_t n = std::strlen(word);
    if (s.size() < n) return false;
    for (size_t k = 0; k < n; ++k) {
        const char c = s[k];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != word[k]) return false;
    }
    return true;
}

}  // namespace

bool isFileUri(const std::string& operand) { return startsWithLetters(operand, "file:/"); }

bool fileUriPath(const std::string& uri, std::string& path, std::string& why) {
    assert(isFileUri(uri));
    size_t at = 5;  // after "file:"
    if (uri.compare(at, 2, "//") == 0) {
        // The host: none or localhost, this computer.
        const size_t slash = uri.find('/', at + 2);
        const std::string host = uri.substr(at + 2, slash == std::string::npos ? std::string::npos : slash - at - 2);
        if (slash == std::string::npos || !(host.empty() || (host.size() == 9 && startsWithLetters(host, "localhost")))) {
            why = "names no file of this computer";
            return false;
        }
        at = slash;
    }
    if (uri.find_first_of("?#", at) != std::string::npos) {
        why = "has a query or a fragment";
        return false;
    }
    path.clear();
    for (size_t k = at; k < uri.size(); ++k) {
        if (uri[k] != '%') {
            path += uri[k];
            continue;
        }
        const int hi = k + 2 < uri.size() ? hexDigit(uri[k + 1]) : -1;
        const int lo = hi >= 0 ? hexDigit(uri[k + 2]) : -1;
        if (lo < 0 || (hi | lo) == 0) {
            why = "has a bad escape (% and two hexadecimal digits, not %00)";
            return false;
        }
        path += char(hi * 16 + lo);
        k += 2;
    }
#ifdef _WIN32
    // file:///C:/dir/a.rsr names C:/dir/a.rsr.
    if (path.size() >= 3 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
#endif
    return true;
}

}  // namespace quarlen
