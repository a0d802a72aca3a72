// Large groups formatted on several threads in chunks: the bytes, the
// failure point, the totals, the notices and the file on disk at each notice
// are those of one thread, wherever the chunk edges fall.
#include <gtest/gtest.h>
#include <thread>

#include "convert/obj/obj_writer.h"
#include "convert/obj/writer_pool.h"
#include "convert/format/texts.h"
#include "tests/model_gen.h"
#include "tests/recording_notice.h"

using namespace quarlen;

namespace {

// A group's arrays stored as the file holds them, and the writer's view.
struct Stored {
    Bytes xyz, pf, fac, uv, pt, fac2, mats;
    int32_t np = 0, nt = 0;
    size_t nq = 0, nf = 0, nq2 = 0, nf2 = 0, nm = 0;
};

Stored store(const GroupSpec& s) {
    Stored r;
    for (float f : s.xyz) putF32(r.xyz, f);
    for (int32_t i : s.pf) putI32(r.pf, i);
    for (const Facet& f : s.faces) putFacet(r.fac, f);
    for (float f : s.uv) putF32(r.uv, f);
    for (int32_t i : s.pt) putI32(r.pt, i);
    for (const TexFacet& f : s.faces2) {
        putI32(r.fac2, f.c1);
        putI32(r.fac2, f.nc);
    }
    for (const std::string& m : s.mats) putMaterial(r.mats, m);
    r.np = int32_t(s.xyz.size() / 3);
    r.nt = int32_t(s.uv.size() / 2);
    r.nq = s.pf.size();
    r.nf = s.faces.size();
    r.nq2 = s.pt.size();
    r.nf2 = s.faces2.size();
    r.nm = s.mats.size();
    return r;
}

Group view(const Stored& s) {
    Group g;
    g.np = s.np;
    g.nt = s.nt;
    g.nq = int32_t(s.nq);
    g.nf = int32_t(s.nf);
    g.nq2 = int32_t(s.nq2);
    g.nf2 = int32_t(s.nf2);
    g.nm = int32_t(s.nm);
    g.xyz = s.xyz.data();
    g.pf = s.pf.data();
    g.fac = s.fac.data();
    g.uv = s.uv.data();
    g.pt = s.pt.data();
    g.fac2 = s.fac2.data();
    g.mats = s.mats.data();
    return g;
}

struct Body {
    bool ok = false;
    std::string text, closing;
};

bool append(void* to, const char* p, size_t n) {
    static_cast<std::string*>(to)->append(p, n);
    return true;
}

// The lines of g and the closing comments, written after a group of 6
// points and 2 texture vertices, on one thread or through a pool.
Body writeBody(const Group& g, unsigned threads, uint32_t chunk) {
    static const Stored lead = store(GroupSpec{.name = "lead", .xyz = std::vector<float>(18), .texq = true,
                                               .uv = std::vector<float>(4)});
    Body b;
    std::string all;
    Output out;
    EXPECT_TRUE(openOutput(out, {append, &all}));
    const auto writer = objWriter(out, {}, {}, threads, chunk);
    EXPECT_EQ(writer->group("lead", view(lead)), GroupWritten::done);
    drain(out);
    const size_t start = all.size();
    b.ok = writer->group("g", g) == GroupWritten::done;
    drain(out);
    const size_t end = all.size();
    if (b.ok) writer->closing();
    closeOutput(out);
    b.text = all.substr(start, end - start);
    b.closing = all.substr(end);
    return b;
}

std::vector<int32_t> upTo(int32_t n, int32_t mod) {
    std::vector<int32_t> v;
    for (int32_t i = 0; i < n; ++i) v.push_back(i % mod);
    return v;
}

std::vector<float> coordinates(uint32_t seed, int n) {
    Dice d(seed);
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(d.coordinate());
    return v;
}

// Facets of three corners over the index list 0, 1, 2, ..., with materials
// in runs that cross chunk edges, some outside the names.
std::vector<Facet> materialRuns(int n) {
    const int16_t mats[] = {0, 0, 1, -1, 1, 2, 0, 5, 0, 1, 1, -1, -1, 0};
    std::vector<Facet> f;
    for (int j = 0; j < n; ++j) f.push_back({3 * (j % 10), 3, mats[j % 14]});
    return f;
}

struct BodyCase {
    const char* what;
    GroupSpec g;
    bool ok;
};

std::vector<BodyCase> bodyCases() {
    std::vector<BodyCase> cases;
    cases.push_back({"points and texture vertices",
                     GroupSpec{.name = "p", .xyz = coordinates(1, 90), .texq = true, .uv = coordinates(2, 50)},
                     true});
    GroupSpec lines{.name = "l", .xyz = coordinates(3, 18), .pf = upTo(60, 6), .texq = true,
                    .uv = coordinates(4, 20), .pt = upTo(60, 10), .mats = {"a", "b\nc"}};
    lines.faces = {{0, 50, 0}, {10, 3, 1}, {0, 0, 1}, {5, -2, 0}, {2147483647, 1, 0}, {50, 10, 1}, {7, 9, 0}};
    lines.faces2 = {{0, 50}, {10, 2}, {0, 0}, {1, 1}, {-4, 3}, {2, 60}};  // the last facet has none
    cases.push_back({"long lines in pieces, texture corners short and surplus", lines, true});
    GroupSpec runs{.name = "r", .xyz = coordinates(5, 9), .pf = upTo(30, 3), .mats = {"m0", "m1", "m2"}};
    runs.faces = materialRuns(40);
    cases.push_back({"material runs across chunk edges", runs, true});

    GroupSpec second = runs;
    second.faces[7] = {29, 3, 1};  // the third corner is past the list
    cases.push_back({"bad corner in the second chunk", second, false});
    GroupSpec texture = lines;
    texture.pt = upTo(30, 10);  // the first line's texture corners run out at corner 30
    cases.push_back({"bad texture corner inside a long line", texture, false});
    GroupSpec tail = lines;
    tail.faces[1] = {20, 50, 1};  // corner 40 of this line is past the list
    cases.push_back({"bad corner at the end of a long line", tail, false});
    GroupSpec before = lines;
    before.faces[3] = {-1, 4, 0};
    cases.push_back({"bad corner first in its line", before, false});
    return cases;
}

TEST(ParallelBody, SameBytesFailureAndTotalsAsOneThread) {
    if (formatThreads(2) < 2) GTEST_SKIP() << "this build has no threads";
    for (const BodyCase& k : bodyCases()) {
        const Stored s = store(k.g);
        const Group g = view(s);
        const Body one = writeBody(g, 1, 0);
        ASSERT_EQ(one.ok, k.ok) << k.what;
        for (unsigned threads : {2u, 3u})
            for (uint32_t chunk : {1u, 2u, 3u, 4u, 5u, 7u, 11u, 16u, 64u}) {
                const Body b = writeBody(g, threads, chunk);
                EXPECT_EQ(b.ok, one.ok) << k.what << ", chunk " << chunk << ", threads " << threads;
                EXPECT_EQ(b.closing, one.closing) << k.what << ", chunk " << chunk << ", threads " << threads;
                ASSERT_EQ(b.text, one.text) << k.what << ", chunk " << chunk << ", threads " << threads;
            }
    }
}

TEST(ParallelBody, LongLinesEndWhereTheWalkEnds) {
    if (formatThreads(2) < 2) GTEST_SKIP() << "this build has no threads";
    // The pieces of one line: nothing of the line is lost or doubled at a
    // piece edge, and only the last piece ends the line.
    GroupSpec g{.name = "l", .xyz = coordinates(6, 6), .pf = upTo(12, 2), .faces = {{0, 12, 0}, {0, 2, 0}}};
    const Stored s = store(g);
    const std::string line = "f 7 8 7 8 7 8 7 8 7 8 7 8\r\nf 7 8\r\n";
    for (uint32_t chunk : {1u, 2u, 5u, 12u, 13u}) {
        const Body b = writeBody(view(s), 2, chunk);
        ASSERT_TRUE(b.ok);
        ASSERT_GE(b.text.size(), line.size());
        EXPECT_EQ(b.text.substr(b.text.size() - line.size()), line) << chunk;
        EXPECT_NE(b.closing.find("/12\r\n"), std::string::npos) << b.closing;
    }
}

GroupSpec triangle() {
    return GroupSpec{.name = "first", .xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0}, .pf = {0, 1, 2},
                     .faces = {{0, 3, 0}}, .mats = {"m"}};
}

std::vector<Bytes> finishingModels() {
    std::vector<Bytes> m;
    m.push_back(buildRsr(randomModel(11, ModelOptions{.groups = 4, .maxPoints = 30, .maxFacets = 40,
                                                      .maxCorners = 12, .materials = 4})));
    m.push_back(buildRsr(randomModel(12, ModelOptions{.groups = 6, .maxPoints = 12, .maxFacets = 20,
                                                      .emptyGroups = true})));
    std::vector<GroupSpec> odd = {triangle()};
    for (const BodyCase& k : bodyCases())
        if (k.ok) odd.push_back(k.g);
    m.push_back(buildRsr(odd));
    return m;
}

TEST(ParallelRun, SameRunWhereverChunkEdgesFall) {
    for (const Bytes& file : finishingModels()) {
        const std::string one = runSummary(convertBytes(file, 1, 0));
        ASSERT_EQ(one.substr(0, 2), "0\n");
        for (unsigned threads : {2u, 3u})
            for (uint32_t chunk : {1u, 2u, 3u, 5u, 8u, 64u, 0u, UINT32_MAX})
                EXPECT_EQ(runSummary(convertBytes(file, threads, chunk)), one)
                    << "chunk " << chunk << ", threads " << threads;
    }
}

TEST(ParallelRun, OutputOptionsMakeTheSameRunWhereverChunkEdgesFall) {
    // With options, chunks are cut on one thread too: the material lines
    // that a chunk's first facets need, the names counted and the material
    // file's order are settled between chunks.
    std::vector<Bytes> files = finishingModels();
    for (uint32_t seed : {3u, 8u, 21u}) files.push_back(buildRsr(oddModel(seed).groups));
    GroupSpec bad = triangle();
    bad.pf = upTo(40, 3);
    bad.faces = materialRuns(30);
    bad.faces[17] = {38, 4, 1};
    files.push_back(buildRsr({triangle(), bad}));
    const OutputOptions sets[] = {
        {.clean = true, .mtl = true, .triangulate = true},
        {.mtl = true, .weld = true, .lf = true},
        {.clean = true, .weld = true, .zUp = true, .exact = true, .scale = 2.5},
        {.triangulate = true},
        {.glb = true},  // a group's primitives are laid out on the threads
    };
    for (const OutputOptions& o : sets) {
        for (size_t f = 0; f < files.size(); ++f) {
            const std::string one = runSummary(convertBytes(files[f], 1, UINT32_MAX, &o));
            for (unsigned threads : {1u, 2u, 3u})
                for (uint32_t chunk : {1u, 2u, 5u, 64u})
                    EXPECT_EQ(runSummary(convertBytes(files[f], threads, chunk, &o)), one)
                        << "file " << f << ", chunk " << chunk << ", threads " << threads;
        }
    }
}

TEST(ParallelRun, FailureWhileLaterChunksAreInFlight) {
    // A complete group, then one of 300 facets whose facet j fails at its
    // second corner; many chunks follow it. The notice must find on disk
    // exactly what one thread had written: up to the failing corner.
    for (int j : {0, 1, 2, 5, 37, 298, 299}) {
        GroupSpec big{.name = "big", .xyz = coordinates(7, 30), .pf = upTo(30, 10), .mats = {"a", "b"}};
        big.faces = materialRuns(300);
        big.faces[size_t(j)] = {29, 4, 1};
        const Bytes file = buildRsr({triangle(), big, triangle()});
        const Converted one = convertBytes(file, 1, 0);
        ASSERT_EQ(one.notices.size(), 1u);
        ASSERT_EQ(one.notices[0].text, bad_value_text);
        const std::string& disk = one.notices[0].on_disk;
        ASSERT_EQ(disk.substr(disk.size() - 4), "f 13") << "ends inside the failing line";
        for (uint32_t chunk : {1u, 3u, 7u, 40u})
            EXPECT_EQ(runSummary(convertBytes(file, 2, chunk)), runSummary(one)) << "facet " << j << ", chunk " << chunk;
    }
}

TEST(ParallelRun, RunsOnSeveralThreadsAtOnce) {
    // Runs share no state, traditional or with output options: each gives
    // what it gives alone.
    std::vector<Bytes> files = finishingModels();
    GroupSpec bad = triangle();
    bad.pf = upTo(40, 3);
    bad.faces = materialRuns(30);
    bad.faces.push_back({38, 3, 0});
    files.push_back(buildRsr({triangle(), bad}));
    for (uint32_t seed = 1; seed <= 8; ++seed) files.push_back(buildRsr(oddModel(seed).groups));
    const OutputOptions all{.clean = true, .mtl = true, .weld = true, .triangulate = true};
    for (const OutputOptions* o : {static_cast<const OutputOptions*>(nullptr), &all}) {
        // Every other run writes to sinks in memory rather than to files.
        auto run = [&](size_t i, unsigned threads, uint32_t chunk) {
            return runSummary(i % 2 ? convertInMemory(files[i], threads, chunk, o)
                                    : convertBytes(files[i], threads, chunk, o));
        };
        std::vector<std::string> expected;
        for (size_t i = 0; i < files.size(); ++i) expected.push_back(run(i, 1, 0));
        for (int round = 0; round < 3; ++round) {
            std::vector<std::string> got(files.size());
            std::vector<std::thread> runs;
            for (size_t i = 0; i < files.size(); ++i) runs.emplace_back([&, i] { got[i] = run(i, 2, 3); });
            for (std::thread& t : runs) t.join();
            for (size_t i = 0; i < files.size(); ++i)
                EXPECT_EQ(got[i], expected[i]) << "file " << i << ", round " << round << (o ? ", options" : "");
        }
    }
}

}  // namespace
