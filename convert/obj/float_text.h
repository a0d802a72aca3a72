// Float text for C++ libraries that lack floating-point std::to_chars
// (Emscripten's libc++ 14). The web build defines QUARLEN_NO_FLOAT_TO_CHARS;
// the fallbacks then write the same bytes as std::to_chars through
// snprintf, whose rounding is exact.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/format/bit_cast.h"

namespace quarlen {

namespace float_text_detail {

// std::to_chars(p, end, f) for a finite f: the fewest significant digits
// that read back as f (the nearest such number when several do), written
// in fixed notation unless scientific is shorter.
inline char* shortest(char* p, float f) {
    const uint32_t bits = bitCast<uint32_t>(f);
    if (bits >> 31) *p++ = '-';
    if ((bits & 0x7FFFFFFF) == 0) {
        *p = '0';
        return p + 1;
    }
    const double v = bitCast<float>(bits & 0x7FFFFFFF);
    // digits: the significant digits; x: the decimal exponent of the first.
    char digits[16], text[40], candidate[40];
    int n = 0, x = 0;
    for (int want = 1; want <= 9 && !n; ++want) {
        std::snprintf(text, sizeof text, "%.*e", want - 1, v);
        long long nearest = 0, power = 1;  // power: 10^want
        const char* e = text;
        for (; *e != 'e'; ++e) {
            if (*e == '.') continue;
            nearest = nearest * 10 + (*e - '0');
            power *= 10;
        }
        const int first = std::atoi(e + 1);
        // The nearest number of `want` digits, else the one above it: just
        // above a power of two, more numbers read back above f than below.
        for (int up = 0; up < 2 && !n; ++up) {
            long long m = nearest + up;
            x = first;
            if (m == power) {
                m /= 10;
                ++x;
            }
            std::snprintf(candidate, sizeof candidate, "%llde%d", m, x - (want - 1));
            if (bitCast<uint32_t>(std::strtof(candidate, nullptr)) == (bits & 0x7FFFFFFF))
                n = std::snprintf(digits, sizeof digits, "%lld", m);
        }
    }
    while (n > 1 && digits[n - 1] == '0') --n;
    const int expDigits = x <= -100 || x >= 100 ? 3 : 2;
    const int sciLength = n + (n > 1) + 2 + expDigits;
    const int fixedLength = x >= n - 1 ? x + 1 : x >= 0 ? n + 1 : n + 1 - x;
    if (sciLength < fixedLength) {
        *p++ = digits[0];
        if (n > 1) {
            *p++ = '.';
            p = static_cast<char*>(std::memcpy(p, digits + 1, size_t(n - 1))) + (n - 1);
        }
        return p + std::snprintf(p, 8, "e%c%02d", x < 0 ? '-' : '+', x < 0 ? -x : x);
    }
    if (x >= n - 1) return p + std::snprintf(p, 24, "%.0f", v);  // a whole number, every digit exact
    if (x >= 0) {
        std::memcpy(p, digits, size_t(x + 1));
        p[x + 1] = '.';
        std::memcpy(p + x + 2, digits + x + 1, size_t(n - x - 1));
        return p + n + 1;
    }
    std::memcpy(p, "0.", 2);
    std::memset(p + 2, '0', size_t(-x - 1));
    std::memcpy(p + 1 - x, digits, size_t(n));
    return p + n + 1 - x;
}

}  // namespace float_text_detail

// std::to_chars(p, end, f): the shortest text that reads back as f.
inline char* shortestFloatText(char* p, char* end, float f) {
#ifdef QUARLEN_NO_FLOAT_TO_CHARS
    (void)end;
    return float_text_detail::shortest(p, f);
#else
    return std::to_chars(p, end, f).ptr;
#endif
}

// std::to_chars(p, end, v, std::chars_format::general, 6), that is "%g".
inline char* sixDigitText(char* p, char* end, double v) {
#ifdef QUARLEN_NO_FLOAT_TO_CHARS
    return p + std::snprintf(p, size_t(end - p), "%g", v);
#else
    return std::to_chars(p, end, v, std::chars_format::general, 6).ptr;
#endif
}

}  // namespace quarlen
