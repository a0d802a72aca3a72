// Benchmark baseline: the converter's core as it was before the parallel writer,
// copied unchanged into namespace baseline so both can be timed in one run.
#include "bench/baseline/format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace baseline {

namespace {

// 10^k for k = -35 to 52: every power that scales a float's value into
// six integer digits, with a step to spare at either end.
constexpr int pow10_min = -35;
constexpr double pow10_table[] = {
    1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39, 1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47, 1e48, 1e49, 1e50, 1e51, 1e52};

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* putPair(char* p, uint32_t two) {
    std::memcpy(p, digit_pairs + 2 * two, 2);
    return p + 2;
}

// The six significant digits of a finite non-zero magnitude, correctly rounded,
// and the decimal exponent of the first. False when the value lies so close to
// halfway between two six-digit numbers that double arithmetic cannot tell
// which way it rounds.
bool sixDigits(double v, int e2, uint32_t& digits, int& exp10) {
    int x = (e2 * 78913) >> 18;  // floor(e2 * log10(2)): exp10 or one less
    double y = v * pow10_table[5 - x - pow10_min];
    if (y >= 1e6) {
        ++x;
        y = v * pow10_table[5 - x - pow10_min];
    } else if (y < 1e5) {
        --x;
        y = v * pow10_table[5 - x - pow10_min];
    }
    // y is within 1e-9 of the exact scaled value (two roundings at 2^-53 on a
    // value below 2^20); a margin a hundred times wider is still rarely met.
    auto whole = static_cast<uint32_t>(y);
    double frac = y - whole;
    if (std::fabs(frac - 0.5) < 1e-7) return false;
    if (frac > 0.5) ++whole;
    if (whole == 1000000) {
        whole = 100000;
        ++x;
    }
    digits = whole;
    exp10 = x;
    return true;
}

}  // namespace

char* formatFloat(char* p, float f) {
    const auto bits = std::bit_cast<uint32_t>(f);
    const bool negative = bits >> 31;
    const uint32_t biased = (bits >> 23) & 0xFF;
    const uint32_t fraction = bits & 0x7FFFFF;
    if (biased == 0xFF) {
        *p++ = negative ? '-' : '+';
        std::memcpy(p, fraction ? "NAN" : "INF", 3);
        return p + 3;
    }
    if (negative) *p++ = '-';
    if (biased == 0 && fraction == 0) {
        *p++ = '0';
        return p;
    }
    const int e2 = biased ? static_cast<int>(biased) - 127 : std::bit_width(fraction) - 150;
    const double v = std::fabs(static_cast<double>(f));
    uint32_t n;
    int x;
    if (!sixDigits(v, e2, n, x)) {
        // Near-halfway values are settled by the exact library conversion,
        // which rounds exact ties to even as printf does.
        return std::to_chars(p, p + float_text_max, v, std::chars_format::general, 6).ptr;
    }

    char d[6];
    putPair(putPair(putPair(d, n / 10000), n / 100 % 100), n % 100);
    int count = 6;  // significant digits left once trailing zeros go
    while (d[count - 1] == '0') --count;

    if (x < -4 || x >= 6) {
        *p++ = d[0];
        if (count > 1) {
            *p++ = '.';
            std::memcpy(p, d + 1, count - 1);
            p += count - 1;
        }
        *p++ = 'e';
        *p++ = x < 0 ? '-' : '+';
        return putPair(p, static_cast<uint32_t>(x < 0 ? -x : x));
    }
    if (x >= 0) {
        std::memcpy(p, d, x + 1);
        p += x + 1;
        if (count > x + 1) {
            *p++ = '.';
            std::memcpy(p, d + x + 1, count - x - 1);
            p += count - x - 1;
        }
        return p;
    }
    *p++ = '0';
    *p++ = '.';
    for (int i = -1; i > x; --i) *p++ = '0';
    std::memcpy(p, d, count);
    return p + count;
}

char* formatInt(char* p, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    if (value < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    char tmp[10];
    char* t = tmp + 10;
    while (u >= 100) {
        t -= 2;
        std::memcpy(t, digit_pairs + 2 * (u % 100), 2);
        u /= 100;
    }
    if (u >= 10) {
        t -= 2;
        std::memcpy(t, digit_pairs + 2 * u, 2);
    } else {
        *--t = static_cast<char>('0' + u);
    }
    const auto len = static_cast<size_t>(tmp + 10 - t);
    std::memcpy(p, t, len);
    return p + len;
}

}  // namespace baseline
