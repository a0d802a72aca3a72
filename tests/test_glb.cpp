// The GLB writer's parts that the reader checks (tests/readers/check_glb.py)
// cannot reach: every kind of byte sequence in a name, the index width at
// its edge, and the spill kept in memory.
#include <gtest/gtest.h>

#include "convert/glb/glb_writer.h"
#include "convert/glb/json_text.h"
#include "tests/recording_notice.h"

using namespace quarlen;

namespace {

TEST(Glb, NamesBecomeUtf8JsonStrings) {
    const struct {
        const char* stored;
        const char* json;
        bool latin1;
    } cases[] = {
        {"plain", "\"plain\"", false},
        {"r\xc3\xb6of \xe2\x82\xac \xf0\x9f\x98\x80", "\"r\xc3\xb6of \xe2\x82\xac \xf0\x9f\x98\x80\"", false},
        {"r\xf6of", "\"r\xc3\xb6of\"", true},
        {"\xc0\x80", "\"\xc3\x80\xc2\x80\"", true},                     // overlong
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xc2\x80\"", true},         // a surrogate
        {"\xf4\x90\x80\x80", "\"\xc3\xb4\xc2\x90\xc2\x80\xc2\x80\"", true},  // above U+10FFFF
        {"\xe2\x82", "\"\xc3\xa2\xc2\x82\"", true},                     // cut short
        {"a\"b\\c\n\x01\x7f", "\"a\\\"b\\\\c\\u000a\\u0001\x7f\"", false},
    };
    for (const auto& c : cases) {
        std::string utf8, json;
        EXPECT_EQ(appendUtf8(utf8, c.stored), c.latin1) << c.stored;
        putJsonString(json, utf8);
        EXPECT_EQ(json, c.json) << c.stored;
    }
}

// One group of n points in triangles (0 1 2) (3 4 5) ..., the last one
// ending on the last point.
GroupSpec triangles(int32_t n) {
    GroupSpec g{.name = "g"};
    for (int32_t i = 0; i < n; ++i) g.xyz.insert(g.xyz.end(), {float(i), 1, 2});
    for (int32_t i = 0; i < n; i += 3) {
        const int32_t first = i + 3 <= n ? i : n - 3;
        g.faces.push_back({int32_t(g.pf.size()), 3, 0});
        g.pf.insert(g.pf.end(), {first, first + 1, first + 2});
    }
    return g;
}

// The group's arrays as the file stores them, for the writer's own calls.
struct Stored {
    Bytes xyz, pf, fac;
    Group g;
    explicit Stored(const GroupSpec& s) {
        for (float f : s.xyz) putF32(xyz, f);
        for (int32_t i : s.pf) putI32(pf, i);
        for (const Facet& f : s.faces) putFacet(fac, f);
        g.np = int32_t(s.xyz.size() / 3);
        g.nq = int32_t(s.pf.size());
        g.nf = int32_t(s.faces.size());
        g.xyz = xyz.data();
        g.pf = pf.data();
        g.fac = fac.data();
    }
};

TEST(Glb, IndexWidthAndSpillInMemory) {
    // 65535 vertices take 16-bit indices; one more, 32-bit ones, since
    // 65535 itself is the restart value no index may hold.
    for (const int32_t n : {65535, 65536}) {
        const GroupSpec spec = triangles(n);
        OutputOptions o;
        o.glb = true;
        const std::string run = convertBytes(buildRsr({spec}), &o).obj;
        const bool wide = run.find("\"componentType\":5125") != std::string::npos;
        EXPECT_EQ(wide, n > 65535) << n;
        EXPECT_NE(run.find("\"componentType\":" + std::string(wide ? "5125" : "5123")), std::string::npos) << n;

        // The same bytes from a spill in memory.
        const Stored stored(spec);
        const std::string path = tempPath(".glb");
        Output out;
        FileTarget file{path.c_str()};
        ASSERT_TRUE(openOutput(out, fileSink(file)));
        {
            const auto w = glbWriter(out, poser_unit_metres, true);
            ASSERT_EQ(w->group("g", stored.g), GroupWritten::done);
            EXPECT_TRUE(w->finishOutput(nullptr));
        }
        closeOutput(out);
        EXPECT_TRUE(readFile(path) == run) << n;
        std::remove(path.c_str());
    }
}

}  // namespace
