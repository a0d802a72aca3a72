// Large groups formatted on several threads in chunks, and runs on several
// threads at once: the bytes, the failure point, the totals, the notices and
// the file on disk at each notice are those of one run on one thread,
// wherever the chunk edges fall and whatever runs beside it.
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "tests/model_gen.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

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

// Files whose bodies are cut into chunks every way: generated models, long
// lines in pieces, texture corners short and surplus, material runs across
// chunk edges; files that fail at a bad corner in each place, some with
// many chunks in flight after it; files that fail before any body (cut
// short, a hostile count, a name length out of range); the odd models.
std::vector<Bytes> chunkedFiles() {
    std::vector<Bytes> m;
    m.push_back(buildRsr(randomModel(11, ModelOptions{.groups = 4, .maxPoints = 30, .maxFacets = 40,
                                                      .maxCorners = 12, .materials = 4})));
    m.push_back(buildRsr(randomModel(12, ModelOptions{.groups = 6, .maxPoints = 12, .maxFacets = 20,
                                                      .emptyGroups = true})));
    const GroupSpec points{.name = "p", .xyz = coordinates(1, 90), .texq = true, .uv = coordinates(2, 50)};
    GroupSpec lines{.name = "l", .xyz = coordinates(3, 18), .pf = upTo(60, 6), .texq = true,
                    .uv = coordinates(4, 20), .pt = upTo(60, 10), .mats = {"a", "b\nc"}};
    lines.faces = {{0, 50, 0}, {10, 3, 1}, {0, 0, 1}, {5, -2, 0}, {2147483647, 1, 0}, {50, 10, 1}, {7, 9, 0}};
    lines.faces2 = {{0, 50}, {10, 2}, {0, 0}, {1, 1}, {-4, 3}, {2, 60}};  // the last facet has none
    GroupSpec runs{.name = "r", .xyz = coordinates(5, 9), .pf = upTo(30, 3), .mats = {"m0", "m1", "m2"}};
    runs.faces = materialRuns(40);
    const GroupSpec pieces{.name = "l", .xyz = coordinates(6, 6), .pf = upTo(12, 2), .faces = {{0, 12, 0}, {0, 2, 0}}};
    m.push_back(buildRsr({first(), points, lines, runs, pieces}));

    GroupSpec second = runs;
    second.faces[7] = {29, 3, 1};  // the third corner is past the list
    GroupSpec texture = lines;
    texture.pt = upTo(30, 10);  // the first line's texture corners run out at corner 30
    GroupSpec tail = lines;
    tail.faces[1] = {20, 50, 1};  // corner 40 of this line is past the list
    GroupSpec before = lines;
    before.faces[3] = {-1, 4, 0};
    for (const GroupSpec& bad : {second, texture, tail, before}) m.push_back(buildRsr({first(), bad}));
    for (int j : {0, 1, 2, 5, 17, 37, 298, 299}) {  // facet j of 300 fails at its second corner
        GroupSpec big{.name = "big", .xyz = coordinates(7, 30), .pf = upTo(30, 10), .mats = {"a", "b"}};
        big.faces = materialRuns(300);
        big.faces[size_t(j)] = {29, 4, 1};
        m.push_back(buildRsr({first(), big, first()}));
    }
    m.push_back(Bytes(m[0].begin(), m[0].begin() + 300));
    m.push_back(hipUpTo("np"));
    putI32(m.back(), -7);
    m.push_back(Bytes(header_size, 0));
    putI32(m.back(), 300);
    for (uint32_t seed : {1u, 2u, 3u, 4u, 5u, 8u, 21u}) m.push_back(buildRsr(oddModel(seed).groups));
    return m;
}

TEST(ParallelRun, SameRunWhereverChunkEdgesFallAndWhateverRunsBeside) {
    // Without options and with them (then chunks are cut on one thread too:
    // the material lines that a chunk's first facets need, the names counted
    // and the material file's order are settled between chunks). Two
    // threads take the files in turn, each running its file beside the
    // other's, half to sinks in memory. (A thread for every file at once
    // trips LeakSanitizer's own thread registry.)
    const std::vector<Bytes> files = chunkedFiles();
    const OutputOptions sets[] = {
        {},
        {.clean = true, .mtl = true, .triangulate = true},
        {.mtl = true, .weld = true, .lf = true},
        {.clean = true, .weld = true, .zUp = true, .exact = true, .scale = 2.5},
        {.triangulate = true},
        {.glb = true},  // a group's primitives are laid out on the threads
    };
    for (const OutputOptions& set : sets) {
        const OutputOptions* o = &set == sets ? nullptr : &set;  // the first: no options at all
        std::atomic<size_t> next = 0;
        std::vector<std::thread> runs;
        for (int k = 0; k < 2; ++k)
            runs.emplace_back([&] {
                for (size_t f; (f = next++) < files.size();) {
                    const std::string one = runSummary(convertBytes(files[f], 1, UINT32_MAX, o));
                    for (unsigned threads : {1u, 2u, 3u})
                        for (uint32_t chunk : {1u, 2u, 3u, 5u, 7u, 64u, 0u})
                            EXPECT_EQ(runSummary((threads + chunk) % 2 ? convertInMemory(files[f], threads, chunk, o)
                                                                       : convertBytes(files[f], threads, chunk, o)),
                                      one) << "file " << f << ", chunk " << chunk << ", threads " << threads;
                }
            });
        for (std::thread& t : runs) t.join();
    }
}

}  // namespace
