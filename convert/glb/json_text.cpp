#include "convert/glb/json_text.h"

#include <charconv>
#include <cstdio>

namespace quarlen {

namespace {

bool within(unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

// The length of the well-formed UTF-8 sequence at s (1 to 4), or 0: no
// overlong forms, no surrogates, nothing above U+10FFFF. s ends in a NUL,
// which no continuation byte matches.
int sequenceLength(const unsigned char* s) {
    const unsigned char c = s[0];
    if (c < 0x80) return 1;
    auto tail = [&](int from, int n) {
        for (int i = from; i < n; ++i)
            if (!within(s[i], 0x80, 0xBF)) return 0;
        return n;
    };
    if (within(c, 0xC2, 0xDF)) return tail(1, 2);
    // The second byte's range depends on the first.
    unsigned lo = 0x80, hi = 0xBF;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
    if (within(c, 0xE0, 0xEF)) return within(s[1], lo, hi) ? tail(2, 3) : 0;
    if (within(c, 0xF0, 0xF4)) return within(s[1], lo, hi) ? tail(2, 4) : 0;
    return 0;
}

}  // namespace

bool appendUtf8(std::string& out, const char* s) {
    bool latin1 = false;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        const int n = sequenceLength(p);
        if (n > 0) {
            out.append(reinterpret_cast<const char*>(p), size_t(n));
            p += n;
            continue;
        }
        // U+0080 to U+00FF in two bytes.
        out += char(0xC0 | (*p >> 6));
        out += char(0x80 | (*p & 0x3F));
        ++p;
        latin1 = true;
    }
    return latin1;
}

void putJsonString(std::string& out, const std::string& s) {
    out += '"';
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

// 17 significant digits read back as the same double; snprintf gives the
// same text on every host whose printf rounds exactly, which std::to_chars
// for doubles is not on all of them.
void putJsonNumber(std::string& out, double v) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%.17g", v);
    out.append(text, size_t(n));
}

void putJsonNumber(std::string& out, uint64_t v) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

}  // namespace quarlen
