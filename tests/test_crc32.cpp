// CRC-32 against values that zlib gives, whole and continued across every
// split, so that both the eight-byte steps and the byte tail are checked.
#include <gtest/gtest.h>

#include <string>

#include "convert/format/crc32.h"

using namespace quarlen;

TEST(Crc32, KnownValuesWholeAndContinued) {
    std::string ramp;
    for (int i = 0; i < 768; ++i) ramp += char(i & 0xFF);
    const struct {
        std::string bytes;
        uint32_t crc;
    } cases[] = {
        {"", 0},
        {"a", 0xE8B7BE43},
        {"123456789", 0xCBF43926},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
        {ramp, 0xB0C0DF2A},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crc32(0, c.bytes.data(), c.bytes.size()), c.crc) << c.bytes.size() << " bytes";
        for (size_t split = 0; split <= c.bytes.size(); ++split)
            EXPECT_EQ(crc32(crc32(0, c.bytes.data(), split), c.bytes.data() + split, c.bytes.size() - split), c.crc)
                << c.bytes.size() << " bytes split at " << split;
    }
}
