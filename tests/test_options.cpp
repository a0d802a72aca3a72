// The output options, each with a table of cases: what the OBJ and MTL
// text become, and what the run tells.
#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

#include "frontend/info_print.h"
#include "convert/options/info.h"
#include "convert/obj/mtl.h"
#include "convert/options/material_colours.h"
#include "convert/format/texts.h"
#include "tests/model_gen.h"
#include "tests/reader_check.h"
#include "tests/recording_notice.h"

using namespace quarlen;

namespace {

std::string body(const std::string& obj) { return obj.substr(0, obj.find("# File generated")); }

const GroupSpec quad{.name = "q", .xyz = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, .pf = {0, 1, 2, 3},
                     .faces = {{0, 4, 0}}, .texq = true, .uv = {0, 0, 1, 0, 1, 1, 0, 1}, .pt = {0, 1, 2, 3},
                     .faces2 = {{0, 4}}, .mats = {"m"}};

TEST(Options, Clean) {
    const std::vector<float> tri = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    struct Case {
        const char* what;
        GroupSpec g;
        std::string facets;  // the group's lines after its points and texture vertices
        std::string notice;  // "" when nothing changed
    } cases[] = {
        {"bare, one and two corners", {.name = "a", .xyz = tri, .pf = {0, 1}, .faces = {{0, 0}, {0, 1}, {0, 2}}},
         "", "cleaned: 3 facets left out (fewer than 3 corners)"},
        {"corners outside the index list, none fails the run",
         {.name = "a", .xyz = tri, .pf = {0, 1, 2}, .faces = {{1, 3}, {-1, 3}, {2147483647, 3}, {0, 3}}},
         "f 1 2 3\n", "cleaned: 3 facets left out (corner outside the index list)"},
        {"index outside the points", {.name = "a", .xyz = tri, .pf = {0, 1, 4, 0, 1, -1}, .faces = {{0, 3}, {3, 3}}},
         "", "cleaned: 2 facets left out (index outside the group's points)"},
        {"repeats merged", {.name = "a", .xyz = tri, .pf = {0, 0, 1, 2, 2, 0, 3, 1, 3}, .faces = {{0, 6}, {6, 3}}},
         "f 1 2 3\n", "cleaned: 1 facet left out (fewer than 3 corners), 3 repeated corners merged"},
        {"partial, outside and unlisted texture corners",
         {.name = "a", .xyz = tri, .pf = {0, 1, 2, 0, 1, 2, 0, 1, 2, 1, 2, 3}, .faces = {{0, 3}, {3, 3}, {6, 3}, {9, 3}},
          .texq = true, .uv = {0, 0, 1, 0, 0, 1}, .pt = {0, 1, 2, 0, 1, 3, 0, 1}, .faces2 = {{0, 3}, {0, 2}, {3, 3}, {6, 3}}},
         "f 1/1 2/2 3/3\nf 1 2 3\nf 1 2 3\nf 2 3 4\n",
         "cleaned: 3 facets written without texture corners (some were missing or bad)"},
        {"non-finite point and texture vertex written with 0",
         {.name = "a", .xyz = {0, 0, 0, 1, 0, 0, 0, INFINITY, 0, 1, 1, -NAN}, .pf = {0, 1, 2, 0, 1, 3, 1, 0, 3},
          .faces = {{0, 3}, {3, 3}}, .texq = true, .uv = {0, NAN, 1, 0}, .pt = {0, 1, 1}, .faces2 = {{0, 3}}},
         "", "cleaned: 2 facets left out (point with a non-finite coordinate), 2 points with a non-finite coordinate "
             "written with 0, 1 texture vertex with a non-finite coordinate written with 0"},
        {"names", {.name = std::string("left\narm\0x", 10), .xyz = tri, .pf = {0, 1, 2, 1, 2, 3},
                   .faces = {{0, 3, 1}, {3, 3, 0}, {3, 3, 2}, {0, 3, 3}},
                   .mats = {"roof\x7Ftiles", "-1.5", std::string(1, '\0'), "+2"}},
         "usemtl _-1.5\nf 1 2 3\nusemtl roof_tiles\nf 2 3 4\nusemtl unnamed\nf 2 3 4\nusemtl _+2\nf 1 2 3\n",
         "cleaned: 5 names made safe"},
        {"what changed, in its order", {.name = "a", .xyz = tri, .pf = {0, 0, 1, 2}, .faces = {{0, 4}}, .texq = true,
                                        .uv = {0, 0, 1, 0}, .pt = {0, 1}, .faces2 = {{0, 2}}},
         "f 1 2 3\n", "cleaned: 1 repeated corner merged, 1 facet written without texture corners (some were missing or bad)"},
        {"material lines only for facets written", {.name = "a", .xyz = tri, .pf = {0, 1, 2}, .faces = {{0, 3, 1}, {0, 0, 0}, {0, 3, 0}},
                                                    .mats = {"m0", "m1"}},
         "usemtl m1\nf 1 2 3\nusemtl m0\nf 1 2 3\n", "cleaned: 1 facet left out (fewer than 3 corners)"},
        {"nothing to change", quad, "usemtl m\nf 1/1 2/2 3/3 4/4\n", ""},
    };
    for (const Case& c : cases) {
        const Converted r = convertInMemory(buildRsr({c.g}), OutputOptions{.clean = true, .lf = true});
        EXPECT_EQ(r.outcome, RunOutcome::finished) << c.what;
        std::string lines = body(r.obj);
        lines = lines.substr(lines.find('\n') + 1);  // after the group line
        while (lines.rfind("v", 0) == 0) lines.erase(0, lines.find('\n') + 1);
        EXPECT_EQ(lines, c.facets) << c.what;
        ASSERT_EQ(r.notices.size(), c.notice.empty() ? 1u : 2u) << c.what;
        EXPECT_EQ(r.notices[0].caption, r.out) << c.what;  // "Finished", then what changed
        if (!c.notice.empty()) {
            EXPECT_EQ(r.notices[1].text, c.notice) << c.what;
            EXPECT_EQ(r.notices[1].caption, r.in) << c.what;
            EXPECT_EQ(r.notices[1].style, notice_plain) << c.what;
        }
    }
    const Converted names = convertInMemory(buildRsr({cases[6].g}), OutputOptions{.clean = true});
    EXPECT_EQ(names.obj.substr(0, 12), "g left_arm\r\n");
    const Converted zeros = convertInMemory(buildRsr({cases[5].g}), OutputOptions{.clean = true, .lf = true});
    EXPECT_NE(zeros.obj.find("v 0 0 0\nv 1 0 0\nv 0 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\n"), std::string::npos);
}

TEST(Options, PointText) {
    const float big = 3e38f;
    struct Case {
        OutputOptions o;
        float x, y, z;
        const char* line;
    } cases[] = {
        {{.scale = 2.54}, 1, -2, 0.5f, "v 2.54 -5.08 1.27"},
        {{.zUp = true}, 1, 2, 3, "v 1 -3 2"},
        {{.zUp = true}, 1, 2, 0, "v 1 0 2"},  // no "-0"
        {{.zUp = true, .scale = 10}, 1, 2, 3, "v 10 -30 20"},
        {{.exact = true}, 0.1f, 1e-5f, 123456789.0f, "v 0.1 1e-05 123456792"},
        {{.exact = true}, 3.14159274f, -0.0f, 16777216.0f, "v 3.1415927 -0 16777216"},
        {{.exact = true}, 1.17549435e-38f, 1e-45f, INFINITY, "v 1.1754944e-38 1e-45 +INF"},
        {{}, 3.14159274f, 1.17549435e-38f, 123456789.0f, "v 3.14159 1.17549e-38 1.23457e+08"},
        {{}, INFINITY, -NAN, -0.0f, "v +INF -NAN -0"},
        {{.clean = true, .scale = 10}, big, 1, -big, "v 0 10 0"},
    };
    for (const Case& c : cases) {
        OutputOptions o = c.o;
        o.lf = true;
        const GroupSpec g{.name = "a", .xyz = {c.x, c.y, c.z}};
        const Converted r = convertInMemory(buildRsr({g}), o);
        EXPECT_EQ(body(r.obj), std::string("g a\n") + c.line + "\n") << c.line;
    }
}

TEST(Options, ExactReadsBackBitForBit) {
    Dice d(7);
    GroupSpec g{.name = "a"};
    for (int i = 0; i < 3000; ++i) g.xyz.push_back(d.coordinate() * (i % 2 ? 1.0f : 1.0000001f));
    const Converted r = convertInMemory(buildRsr({g}), OutputOptions{.lf = true, .exact = true});
    const char* p = r.obj.c_str() + 4;
    for (size_t i = 0; i < g.xyz.size(); ++i) {
        if (i % 3 == 0) p += 2;  // "v "
        char* end;
        const float f = std::strtof(p, &end);
        ASSERT_EQ(std::bit_cast<uint32_t>(f), std::bit_cast<uint32_t>(g.xyz[i])) << i << ": " << std::string(p, size_t(end - p));
        p = end + 1;
    }
}

TEST(Options, WeldAndTriangulate) {
    const GroupSpec a{.name = "a", .xyz = {0, 0, 0, 1, 0, 0, 1, 1, 0}, .pf = {0, 1, 2}, .faces = {{0, 3}}};
    // Two points of b are points of a, one of them twice; -0 is not 0.
    const GroupSpec b{.name = "b", .xyz = {1, 1, 0, 5, 5, 5, 1, 0, 0, -0.0f, 0, 0, 1, 1, 0},
                      .pf = {0, 1, 2, 3, 4, 0, 2}, .faces = {{0, 5}, {4, 3}}, .texq = true, .uv = {0, 0, 1, 1},
                      .pt = {0, 1, 0, 1, 0}, .faces2 = {{0, 5}}};
    struct Case {
        OutputOptions o;
        std::string text;
    } cases[] = {
        {{.weld = true},
         "g a\nv 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\ng b\nv 5 5 5\nv -0 0 0\nvt 0 0\nvt 1 1\n"
         "f 3/1 4/2 2/1 5/2 3/1\nf 3 3 2\n# File generated by QUARLEN\n# NumFacets/MaxNumEdges 3/5\n# NumVerts/NumTVerts/NumVNormals   5/2/0\n"},
        {{.triangulate = true},
         "g a\nv 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\ng b\nv 1 1 0\nv 5 5 5\nv 1 0 0\nv -0 0 0\nv 1 1 0\nvt 0 0\nvt 1 1\n"
         "f 4/1 5/2 6/1\nf 4/1 6/1 7/2\nf 4/1 7/2 8/1\nf 8 4 6\n"
         "# File generated by QUARLEN\n# NumFacets/MaxNumEdges 5/3\n# NumVerts/NumTVerts/NumVNormals   8/2/0\n"},
        // Clean merges corners that welding made one: the last facet goes.
        {{.clean = true, .weld = true, .triangulate = true},
         "g a\nv 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\ng b\nv 5 5 5\nv -0 0 0\nvt 0 0\nvt 1 1\n"
         "f 3/1 4/2 2/1\nf 3/1 2/1 5/2\n# File generated by QUARLEN\n# NumFacets/MaxNumEdges 3/3\n# NumVerts/NumTVerts/NumVNormals   5/2/0\n"},
    };
    for (Case& c : cases) {
        c.o.lf = true;
        const Converted r = convertInMemory(buildRsr({a, b}), c.o);
        EXPECT_EQ(r.obj, c.text) << c.text;
    }
    // A point that --clean writes as 0 0 0 welds with one stored so; a
    // triangle counts 3 corners and a facet its corners written, whatever
    // its stored count.
    const GroupSpec zero{.name = "z", .xyz = {-INFINITY, 0, 0}};
    const GroupSpec fan{.name = "q", .xyz = a.xyz, .pf = {0, 1, 2, 0}, .faces = {{0, 4}}};
    const GroupSpec wraps{.name = "w", .xyz = a.xyz, .pf = {0, 1, 2}, .faces = {{2147483647, 1}}};
    EXPECT_EQ(body(convertInMemory(buildRsr({a, zero}), {.clean = true, .weld = true, .lf = true}).obj),
              "g a\nv 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\ng z\n");
    for (const auto& [g, closing] : {std::pair{fan, "2/3"}, std::pair{wraps, "1/0"}})
        EXPECT_NE(convertInMemory(buildRsr({g}), {.triangulate = true, .lf = true}).obj.find(
                      std::string("MaxNumEdges ") + closing + "\n"), std::string::npos) << closing;
}

TEST(Options, MaterialFile) {
    GroupSpec a = quad, b = quad;
    a.mats = {"roof tiles", "skin"};
    a.faces = {{0, 4, 1}, {0, 4, 0}};
    b.mats = {"skin", "7", "7."};  // "7." reads as no number
    b.faces = {{0, 4, 0}, {0, 4, 1}, {0, 4, 0}, {0, 4, 2}};
    const Converted r = convertInMemory(buildRsr({a, b}), OutputOptions{.mtl = true});
    EXPECT_EQ(r.obj.substr(0, 16), "mtllib out.mtl\r\n");
    EXPECT_NE(r.obj.find("usemtl roof_tiles\r\n"), std::string::npos);
    EXPECT_EQ(r.mtl,
              "# Materials written by quarlen\r\n"
              "\r\nnewmtl skin\r\nKd 0.894 0.102 0.110\r\n"
              "\r\nnewmtl roof_tiles\r\nKd 0.216 0.494 0.722\r\n"
              "\r\nnewmtl _7\r\nKd 0.302 0.686 0.290\r\n"
              "\r\nnewmtl 7.\r\nKd 0.596 0.306 0.639\r\n");
    EXPECT_EQ(convertInMemory(buildRsr({a}), OutputOptions{.mtl = true, .lf = true}).mtl.find('\r'), std::string::npos);

    // Distinct colours for as many materials as there are 24-bit colours.
    std::vector<bool> seenColour(size_t(1) << 24);
    for (size_t i = 0; i < seenColour.size(); ++i) {
        unsigned char c[3];
        materialColour(i, c);
        const size_t packed = size_t(c[0]) << 16 | size_t(c[1]) << 8 | c[2];
        ASSERT_FALSE(seenColour[packed]) << "material " << i;
        seenColour[packed] = true;
    }
    EXPECT_EQ(mtlPathFor("a/b.OBJ"), "a/b.mtl");
    EXPECT_STREQ(baseName("a/b/c.mtl"), "c.mtl");
}

TEST(Options, OddModelsReadBackAndCountAsCleanChanges) {
    // The models of the reader script: with --clean --mtl --triangulate the
    // reader takes every file as the model means it, without a word.
    // (tools/reader_survey prints what it says of the same models untreated.)
    // --info counts what --clean changes.
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        const OddModel m = oddModel(seed);
        const Bytes rsr = buildRsr(m.groups);
        const Converted clean = convertInMemory(rsr, OutputOptions{.clean = true, .mtl = true, .triangulate = true});
        const ReadBack got = readWithCallbacks(clean.obj, &clean.mtl);
        ASSERT_TRUE(got.ok) << seed << ": " << got.err;
        EXPECT_EQ(got.warn + got.err, "") << seed;
        EXPECT_EQ(int64_t(got.xyz.size() / 3), m.points) << seed;
        EXPECT_EQ(int64_t(got.uv.size() / 2), m.textureVertices) << seed;
        int64_t triangles = 0;
        for (const ObjFace& f : got.faces) triangles += f.v.size() == 3 ? 1 : 1000;
        EXPECT_EQ(triangles, m.triangles) << seed;
        EXPECT_EQ(got.materials, m.materials) << seed;
        if (seed > 80) continue;

        InfoReport report;
        std::vector<Shown> shown;
        const RunResult info = convertRSR({.input = "model.rsr", .inputBytes = rsr, .notices = recordInto(shown), .report = &report});
        ASSERT_EQ(info.outcome, RunOutcome::finished) << seed;
        EXPECT_TRUE(shown.empty()) << seed;
        const std::string said = clean.notices.size() == 2 ? clean.notices[1].text : "";
        const std::string problems = describeCounts(report.problems);
        EXPECT_EQ(problems.empty() ? "" : "cleaned: " + problems, said) << seed;
        // A conversion counts the same in its own walk, on any writer.
        for (const OutputOptions& o : {OutputOptions{}, OutputOptions{.clean = true, .weld = true, .triangulate = true},
                                       OutputOptions{.glb = true}}) {
            InfoReport counted;
            const RunResult run = convertRSR({.input = "model.rsr", .inputBytes = rsr, .output = "model.out",
                                              .sink = {[](void*, const char*, size_t) { return true; }},
                                              .notices = recordInto(shown), .options = &o, .alsoReport = &counted, .threads = 2,
                                              .chunk = 1});
            // A traditional conversion that fails counts the groups before the failure.
            const bool whole = run.outcome == RunOutcome::finished;
            ASSERT_TRUE(whole || !o.clean) << seed;
            if (whole) {
                EXPECT_EQ(describeCounts(counted.problems), problems) << seed;
                ASSERT_EQ(counted.groups.size(), report.groups.size()) << seed;
            }
            ASSERT_LE(counted.groups.size(), report.groups.size()) << seed;
            for (size_t g = 0; g < counted.groups.size(); ++g) {
                EXPECT_EQ(counted.groups[g].name, report.groups[g].name) << seed;
                EXPECT_EQ(counted.groups[g].textureVertices, report.groups[g].textureVertices) << seed;
                EXPECT_EQ(counted.groups[g].facets, report.groups[g].facets) << seed;
            }
        }
        ASSERT_EQ(report.groups.size(), m.groups.size()) << seed;
        for (size_t g = 0; g < m.groups.size(); ++g) {
            const GroupSpec& s = m.groups[g];
            EXPECT_EQ(report.groups[g].points, int32_t(s.xyz.size() / 3));
            int64_t facets = 0;
            for (const auto& [corners, n] : report.groups[g].facets) facets += n;
            EXPECT_EQ(facets, int64_t(s.faces.size()));
            EXPECT_EQ(report.groups[g].materials, s.mats);
        }
    }
}

TEST(Options, InfoPrinter) {
    const std::string good = tempPath(".rsr"), cut = tempPath(".rsr"), missing = tempPath(".rsr");
    GroupSpec named = quad, seven = quad;
    seven.name = "7";  // safe for a group, unlike a material
    named.name = "a \"b\"\n";
    named.mats = {"roof tiles"};
    named.faces.push_back({0, 2, 0});
    named.uv.insert(named.uv.end(), {0.5f, 0.5f});  // more texture vertices than points
    writeFile(good, buildRsr({seven, named}));
    Bytes b = buildRsr({quad, quad});
    b.resize(b.size() - 60);  // the second group loses its material name
    writeFile(cut, b);
    FILE* out = std::tmpfile();
    std::vector<Shown> shown;
    EXPECT_EQ(printInfo({good, cut, missing}, out, recordInto(shown)), 1);
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text += char(c);
    std::fclose(out);
    EXPECT_EQ(text, good + ": 2 groups\n"
                     "  g \"7\": 4 points, 4 texture vertices, 1 facet (1 with 4 corners), 1 material \"m\"\n"
                     "  g \"a \\\"b\\\"\\x0a\": 4 points, 5 texture vertices, 2 facets (1 with 2 corners, 1 with 4 corners), "
                     "1 material \"roof tiles\"\n"
                     "  --clean would change: 1 facet left out (fewer than 3 corners), 2 names made safe\n"
                     "  in all: 2 groups, 8 points, 9 texture vertices, 3 facets\n" +
                     cut + ": 1 group\n"
                     "  g \"q\": 4 points, 4 texture vertices, 1 facet (1 with 4 corners), 1 material \"m\"\n"
                     "  --clean would change nothing\n"
                     "  the file could not be read to its end: the groups above are those before the failure\n"
                     "  in all: 1 group, 4 points, 4 texture vertices, 1 facet\n"
                     "total: 3 files, 3 groups, 12 points, 13 texture vertices, 4 facets; 2 could not be read in full\n");
    ASSERT_EQ(shown.size(), 1u);  // the cut file's failure, as a conversion shows it
    EXPECT_EQ(shown[0].text, end_of_file_text);
    EXPECT_EQ(shown[0].caption, cut);
    std::remove(good.c_str());
    std::remove(cut.c_str());
}

}  // namespace
