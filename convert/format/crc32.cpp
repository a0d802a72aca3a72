#include "convert/format/crc32.h"

#include <array>
#include <cassert>

namespace quarlen {

namespace {

// table[k][b]: the CRC of byte b followed by k zero bytes, for slicing by 8.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables() {
    Tables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][b] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (size_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    return t;
}

constexpr Tables tables = makeTables();

}  // namespace

uint32_t crc32(uint32_t crc, const void* p, size_t n) {
    assert(p || n == 0);
    const auto* s = static_cast<const unsigned char*>(p);
    uint32_t c = ~crc;
    for (; n >= 8; n -= 8, s += 8) {
        // The bytes are read one by one: the same result on any byte order.
        const uint32_t lo = c ^ (uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24);
        c = tables[7][lo & 0xFF] ^ tables[6][(lo >> 8) & 0xFF] ^ tables[5][(lo >> 16) & 0xFF] ^ tables[4][lo >> 24] ^
            tables[3][s[4]] ^ tables[2][s[5]] ^ tables[1][s[6]] ^ tables[0][s[7]];
    }
    for (; n > 0; --n, ++s) c = tables[0][(c ^ *s) & 0xFF] ^ (c >> 8);
    return ~c;
}

}  // namespace quarlen
