// Round trips through tinyobjloader: models are converted and read back by
// a reader written elsewhere, and every number must mean what the model
// says.
#include <gtest/gtest.h>

#include "convert/options/output_options.h"
#include "tests/reader_check.h"
#include "tests/recording_notice.h"

using namespace quarlen;

namespace {

// Group g's point i sits at (g, i, -1) and its texture vertex i at (g, i):
// small integers that "%g" writes exactly. Facets over the first and last
// points, and some in between.
GroupSpec borderGroup(int g, int np, int nt) {
    const std::string n = std::to_string(g);
    GroupSpec s{.name = std::string("part").append(n), .texq = nt > 0, .mats = {std::string("m").append(n)}};
    for (int i = 0; i < np; ++i) s.xyz.insert(s.xyz.end(), {float(g), float(i), -1.0f});
    for (int i = 0; i < nt; ++i) s.uv.insert(s.uv.end(), {float(g), float(i)});
    const std::vector<std::vector<int32_t>> corners = {
        {0, 1, np - 1}, {np - 2, np - 1, 0, 1}, {np / 2, np - 1, 0}, {np - 1, np - 3, np - 2, 2, 1}};
    for (const auto& c : corners) {
        s.faces.push_back({int32_t(s.pf.size()), int32_t(c.size()), 0});
        if (nt > 0) s.faces2.push_back({int32_t(s.pt.size()), int32_t(c.size())});
        for (int32_t p : c) {
            s.pf.push_back(p);
            if (nt > 0) s.pt.push_back(p == np - 1 ? nt - 1 : p % nt);
        }
    }
    return s;
}

// More than two million points over five groups, numbered across each
// group border.
std::vector<GroupSpec> borders() {
    const int points[] = {600000, 3, 450000, 999999, 3}, texture[] = {0, 0, 300000, 5, 0};
    std::vector<GroupSpec> model;
    for (int g = 0; g < 5; ++g) model.push_back(borderGroup(g, points[g], texture[g]));
    return model;
}

// Groups of 1,000, 3,000, 40,000 and 70,000 new points, each after every
// point of the groups before it: the weld table grows with each group and
// moves to mapped memory, and must still find every earlier point and no
// other: many points differ in z alone.
std::vector<GroupSpec> growingWeld() {
    std::vector<GroupSpec> model;
    int32_t seen = 0;
    for (const int32_t fresh : {1000, 3000, 40000, 70000}) {
        GroupSpec g{.name = std::string("w").append(std::to_string(model.size()))};
        for (int32_t p = seen + fresh - 1; p >= 0; --p) g.xyz.insert(g.xyz.end(), {float(p % 7), 1, float(p)});
        for (int32_t i = 0; i + 2 < seen + fresh; i += 3) {
            g.faces.push_back({i, 3, 0});
            g.pf.insert(g.pf.end(), {i, i + 1, i + 2});
        }
        seen += fresh;
        model.push_back(g);
    }
    return model;
}

TEST(Readers, TinyObjLoaderReadsWhatWasWritten) {
    const struct {
        const char* what;
        std::vector<GroupSpec> model;
        bool weld;
    } trips[] = {
        {"default mix", randomModel(21, ModelOptions{}), false},
        {"many small groups", randomModel(22, {.groups = 40, .maxPoints = 6, .maxFacets = 4, .maxCorners = 5}), false},
        {"large facets", randomModel(23, {.groups = 5, .maxPoints = 30, .maxFacets = 10, .maxCorners = 24,
                                          .materials = 8}), false},
        {"empty groups between", randomModel(24, {.groups = 8, .emptyGroups = true}), false},
        {"no texture data", randomModel(25, {.groups = 6, .texture = false}), false},
        {"one material each", randomModel(26, {.groups = 10, .materials = 1}), false},
        {"two million points", borders(), false},
        {"welded", randomModel(30, {.groups = 8}), true},
        {"welded, texture data on none", randomModel(31, {.groups = 8, .texture = false}), true},
        {"welded, empty groups", randomModel(32, {.groups = 8, .emptyGroups = true}), true},
        {"welded as the table grows", growingWeld(), true},
    };
    for (const auto& trip : trips) {
        const OutputOptions weld{.weld = true};
        const Converted c = convertBytes(buildRsr(trip.model), 0, 0, trip.weld ? &weld : nullptr);
        ASSERT_EQ(c.outcome, RunOutcome::finished) << trip.what;
        EXPECT_TRUE(readsAsModel(c.obj, trip.model, trip.weld)) << trip.what;
    }
}

}  // namespace
