// Number formatting for the OBJ writer. Inline, because the writer calls
// these millions of times for a few bytes each; they store whole 8-byte
// words where that is quicker than working out how many bytes to store.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "convert/obj/float_text.h"

namespace quarlen {

// Room to leave for formatFloat and formatInt. The longest float text,
// "-1.17549e-38", has 12 characters, but formatFloat stores up to 16 bytes
// past p; formatInt stores up to 11, its longest text "-2147483648" included.
inline constexpr int float_text_max = 24;
inline constexpr int int_text_max = 11;

namespace format_detail {

// 10^k for k = -45 to 52: the next power above any float (x + 1 for x from
// -45 to 38) and every power that scales a float into six integer digits
// (5 - x).
inline constexpr int pow10_min = -45;
inline constexpr double pow10_table[] = {
    1e-45, 1e-44, 1e-43, 1e-42, 1e-41, 1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33,
    1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20,
    1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7,
    1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10,
    1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25,
    1e26, 1e27, 1e28, 1e29, 1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39, 1e40,
    1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47, 1e48, 1e49, 1e50, 1e51, 1e52};

inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The smallest number with k + 1 digits, for k = 1 to 9; 0 stands first so
// that every value counts at least one digit.
inline constexpr uint32_t digits_from[] = {0,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};

inline char* putPair(char* p, uint32_t two) {
    std::memcpy(p, digit_pairs + 2 * two, 2);
    return p + 2;
}

// The two digits of `two` (0 to 99) as a 16-bit word, the first in its low byte.
inline uint64_t pairBits(uint32_t two) {
    if constexpr (std::endian::native == std::endian::little) {
        uint16_t v;
        std::memcpy(&v, digit_pairs + 2 * two, 2);
        return v;
    } else {
        return uint64_t(static_cast<unsigned char>(digit_pairs[2 * two])) |
               uint64_t(static_cast<unsigned char>(digit_pairs[2 * two + 1])) << 8;
    }
}

// Stores the 8 bytes of w at p, lowest byte first on every host.
inline void storeWord(char* p, uint64_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &w, 8);
    } else {
        for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(w >> (8 * i));
    }
}

// The eight decimal digits of u < 10^8, most significant first, as the
// bytes of a word from its lowest up, each byte 0 to 9: arithmetic on
// lanes of the word, without division loops or table loads.
inline uint64_t eightDigits(uint32_t u) {
    const uint64_t x = (u / 10000) | uint64_t(u % 10000) << 32;     // two lanes below 10^4
    const uint64_t h = ((x * 10486) >> 20) & 0x0000007F0000007Fu;  // each lane / 100
    const uint64_t q = h | (x - h * 100) << 16;                   // four lanes below 100
    const uint64_t t = ((q * 103) >> 10) & 0x000F000F000F000Fu;   // each lane / 10
    return t | (q - t * 10) << 8;
}

inline int decimalDigits(uint32_t u) {
    const int t = (std::bit_width(u | 1u) * 1233) >> 12;  // floor(log10) or one more
    return t + (u >= digits_from[t]);
}

// Formats a value that lies so close to halfway between two six-digit
// numbers that double arithmetic cannot tell which way it rounds; rare.
char* formatNearHalf(char* p, double v);

}  // namespace format_detail

// Writes f, widened to double, exactly as C's "%g" prints it; an infinity as
// "+INF" or "-INF" and a NaN as "+NAN" or "-NAN" by its sign bit. The same
// bytes on every host. Returns the end of the text; stores up to 16 bytes.
inline char* formatFloat(char* p, float f) {
    using namespace format_detail;
    const auto bits = bitCast<uint32_t>(f);
    const uint32_t biased = (bits >> 23) & 0xFF;
    const uint32_t fraction = bits & 0x7FFFFF;
    if (biased == 0xFF) {
        std::memcpy(p, bits >> 31 ? (fraction ? "-NAN" : "-INF") : (fraction ? "+NAN" : "+INF"), 4);
        return p + 4;
    }
    *p = '-';
    p += bits >> 31;
    if ((bits & 0x7FFFFFFF) == 0) {
        *p = '0';
        return p + 1;
    }

    // The six significant digits, correctly rounded, and the decimal
    // exponent x of the first.
    const double v = bitCast<float>(bits & 0x7FFFFFFF);
    const int e2 = biased ? static_cast<int>(biased) - 127 : std::bit_width(fraction) - 150;
    // x from the binary exponent is right or one short; comparing with the
    // next power settles it without a branch.
    int x = (e2 * 78913) >> 18;  // floor(e2 * log10(2))
    x += v >= pow10_table[x + 1 - pow10_min];
    const double y = v * pow10_table[5 - x - pow10_min];
    // y is within 1e-9 of the exact scaled value (two roundings at 2^-53 on a
    // value below 2^20); a margin a hundred times wider is still rarely met.
    auto n = static_cast<uint32_t>(y);
    const double frac = y - n;
    if (std::fabs(frac - 0.5) < 1e-7) return formatNearHalf(p, v);
    n += frac > 0.5;
    if (n == 1000000) {  // rounded up to the next power of ten
        n = 100000;
        ++x;
    }

    // The six digits in one word, the first in its lowest byte; the bytes
    // above them are zero and get stored past the text.
    const uint64_t w = pairBits(n / 10000) | pairBits(n / 100 % 100) << 16 | pairBits(n % 100) << 32;
    // Less trailing zeros; the first digit is never '0', so the word is not 0.
    const auto trailing = static_cast<unsigned>(std::countl_zero(((w ^ 0x303030303030u) << 16) | 1)) / 8;
    const int count = 6 - static_cast<int>(trailing);

    if (x < -4 || x >= 6) {
        p[0] = static_cast<char>(w);
        p[1] = '.';
        storeWord(p + 2, w >> 8);
        p += count > 1 ? count + 1 : 1;
        p[0] = 'e';
        p[1] = x < 0 ? '-' : '+';
        return putPair(p + 2, static_cast<uint32_t>(x < 0 ? -x : x));
    }
    if (x >= 0) {
        storeWord(p, w);
        if (count <= x + 1) return p + x + 1;
        p[x + 1] = '.';
        storeWord(p + x + 2, w >> (8 * (x + 1)));
        return p + count + 1;
    }
    std::memcpy(p, "0.000000", 8);
    storeWord(p + 1 - x, w);
    return p + 1 - x + count;
}

// Writes value in signed decimal, as "%d" does. Returns the end of the text;
// stores up to 11 bytes.
inline char* formatInt(char* p, int32_t value) {
    using namespace format_detail;
    uint32_t u = static_cast<uint32_t>(value);
    if (value < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    if (u < 100000000) {
        // Eight digits with leading zeros in one word; the count of leading
        // zeros comes from the word itself, and they are shifted out. The
        // last digit's byte is marked, so that 0 keeps one digit.
        const uint64_t d = eightDigits(u);
        const auto zeros = static_cast<unsigned>(std::countr_zero(d | uint64_t(1) << 56)) / 8;
        storeWord(p, (d | 0x3030303030303030u) >> (8 * zeros));
        return p + 8 - zeros;
    }
    const int n = decimalDigits(u);
    putPair(p + n - 2, u % 100);
    u /= 100;
    putPair(p + n - 4, u % 100);
    u /= 100;
    putPair(p + n - 6, u % 100);
    u /= 100;
    putPair(p + n - 8, u % 100);
    u /= 100;
    if (n == 10)
        putPair(p, u);
    else
        *p = static_cast<char>('0' + u);
    return p + n;
}

}  // namespace quarlen
