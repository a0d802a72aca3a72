// Formatting numbers the way the output needs, the file-name check, and
// CRC-32 against values that zlib gives, whole and continued across every
// split, so that both the eight-byte steps and the byte tail are checked.
#include <bit>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

#include "convert/obj/float_text.h"
#include "convert/obj/number_text.h"
#include "convert/format/crc32.h"
#include "convert/format/file_names.h"

using namespace quarlen;

namespace {

std::string fmt(float f) {
    char buf[float_text_max];
    return std::string(buf, formatFloat(buf, f));
}

std::string printfG(float f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(f));
    return buf;
}

TEST(FormatFloat, SpecialValues) {
    // Values printf does not write the same.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float f;
        const char* text;
    } cases[] = {
        {inf, "+INF"},
        {-inf, "-INF"},
        {std::copysign(nan, 1.0f), "+NAN"},
        {std::copysign(nan, -1.0f), "-NAN"},
        {std::bit_cast<float>(0x7F800001u), "+NAN"},  // signalling pattern
        {std::bit_cast<float>(0xFFFFFFFFu), "-NAN"},
    };
    for (const Case& c : cases) EXPECT_EQ(fmt(c.f), c.text) << std::bit_cast<uint32_t>(c.f);
}

TEST(FloatText, MatchesPrintfAndToCharsOnPowersAndMillionsOfPatterns) {
    // Every power of two and ten with its neighbours, a stride through every
    // bit pattern and random ones; tools/check_floats covers all 2^32. And
    // edges the stride may miss: exact ties round to even, whole numbers of
    // up to 14 digits. Coordinates are printf's "%g"; --exact's fallback,
    // which the web build writes through, is to_chars' shortest text.
    std::vector<float> floats = {-0.0f, 999999.5f, 1234565.0f, 1234575.0f, std::numeric_limits<float>::max()};
    for (int e = -149; e <= 127; ++e) floats.push_back(std::ldexp(1.0f, e));
    for (int e = -45; e <= 38; ++e) floats.push_back(static_cast<float>(std::pow(10.0, e)));
    for (size_t i = 0, n = floats.size(); i < n; ++i)
        floats.insert(floats.end(), {std::nextafter(floats[i], 0.0f), std::nextafter(floats[i], INFINITY)});
    for (uint32_t e = 0; e < 255; ++e)
        for (uint32_t d = 0; d < 7; ++d) floats.push_back(std::bit_cast<float>((e << 23) + d - 3));
    for (uint32_t i = 0; i < 400000; ++i)
        floats.push_back(std::bit_cast<float>(i < 200000 ? i * 21473u + 0x4B000000u * (i & 1) : i * 10733u));
    const size_t fallbackChecked = floats.size();  // the fallback is slow: these only
    std::mt19937 rng(20261207);
    for (uint32_t i = 0; i < 3000000; ++i)
        floats.push_back(std::bit_cast<float>(i < 1500000 ? i * 2863u + (i >> 3) : static_cast<uint32_t>(rng())));
    uint32_t mismatches = 0;
    for (size_t i = 0; i < floats.size(); ++i) {
        const float f = floats[i];
        if (!std::isfinite(f)) continue;
        char ours[64], theirs[64];
        std::string a, b;
        if (i < fallbackChecked)
            a.assign(ours, float_text_detail::shortest(ours, f)), b.assign(theirs, std::to_chars(theirs, theirs + 64, f).ptr);
        if ((fmt(f) != printfG(f) || a != b) && ++mismatches < 10)
            ADD_FAILURE() << std::hex << std::bit_cast<uint32_t>(f) << ": " << fmt(f) << " vs " << printfG(f) << ", "
                          << a << " vs " << b;
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(Names, ExtensionCheck) {
    struct Case {
        const char* name;
        const char* ext;
        bool match;
    } cases[] = {
        {"man.RSR", ".rsr", true},   {"man.rsr", ".rsr", true},   {"man.Rsr", ".rsr", true},
        {"man.OBJ", ".obj", true},   {"man.Obj", ".obj", true},   {".rsr", ".rsr", true},
        {"man.rsrx", ".rsr", false}, {"man", ".obj", false},      {"rsr", ".rsr", false},
        {"", ".rsr", false},         {"man.obj", ".rsr", false},  {"man_rsr", ".rsr", false},
        {"man.R\xD3R", ".rsr", false},  // only a to z fold
    };
    for (const Case& c : cases) EXPECT_EQ(hasExtension(c.name, c.ext), c.match) << c.name;
}

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

}  // namespace
