// A model of more than two million points over several groups, read back
// by tinyobjloader: every facet must name the points of its own group at
// each group border.
#include <gtest/gtest.h>

#include "tests/reader_check.h"
#include "tests/recording_notice.h"

using namespace quarlen;

namespace {

// Group g's point i sits at (g, i, -1) and its texture vertex i at (g, i):
// small integers that "%g" writes exactly, so that the reader's coordinates
// tell which point of which group a number reaches.
GroupSpec borderGroup(int g, int np, int nt) {
    const std::string n = std::to_string(g);
    GroupSpec s{.name = std::string("part").append(n), .texq = nt > 0, .mats = {std::string("m").append(n)}};
    s.xyz.reserve(size_t(np) * 3);
    for (int i = 0; i < np; ++i) s.xyz.insert(s.xyz.end(), {float(g), float(i), -1.0f});
    for (int i = 0; i < nt; ++i) s.uv.insert(s.uv.end(), {float(g), float(i)});
    // Facets over the first and last points, and some in between.
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

TEST(Large, TwoMillionPointsNumberedAcrossGroupBorders) {
    const int points[] = {600000, 1, 450000, 999999, 3};  // 2,050,003 in all
    const int texture[] = {0, 0, 300000, 5, 0};
    std::vector<GroupSpec> model;
    for (int g = 0; g < 5; ++g) model.push_back(borderGroup(g, std::max(points[g], 3), texture[g]));
    size_t total = 0;
    for (const GroupSpec& g : model) total += g.xyz.size() / 3;
    ASSERT_GT(total, 2000000u);

    const Converted c = convertBytes(buildRsr(model));
    ASSERT_EQ(c.outcome, RunOutcome::finished);
    const ReadBack got = readWithCallbacks(c.obj);
    ASSERT_TRUE(got.ok) << got.err;
    ASSERT_EQ(got.xyz.size(), 3 * total);

    const ObjModel want = expectedObj(model);
    ASSERT_EQ(got.faces.size(), want.faces.size());
    size_t face = 0;
    for (int g = 0; g < 5; ++g) {
        const GroupSpec& s = model[size_t(g)];
        for (size_t j = 0; j < s.faces.size(); ++j, ++face) {
            const ObjFace& f = got.faces[face];
            EXPECT_EQ(f.group, s.name);
            EXPECT_EQ(f.material, s.mats[0]);
            ASSERT_EQ(f.v.size(), size_t(s.faces[j].nc)) << s.name << " facet " << j;
            for (size_t k = 0; k < f.v.size(); ++k) {
                const int32_t local = s.pf[size_t(s.faces[j].c1) + k];
                ASSERT_GE(f.v[k], 0);
                ASSERT_LT(size_t(f.v[k]), total);
                // The point the reader reaches is this group's point `local`.
                EXPECT_EQ(got.xyz[size_t(3 * f.v[k])], float(g)) << s.name << " facet " << j << " corner " << k;
                EXPECT_EQ(got.xyz[size_t(3 * f.v[k] + 1)], float(local)) << s.name << " facet " << j;
            }
            if (!s.texq) {
                EXPECT_TRUE(f.t.empty()) << s.name;
                continue;
            }
            ASSERT_EQ(f.t.size(), f.v.size()) << s.name << " facet " << j;
            for (size_t k = 0; k < f.t.size(); ++k) {
                const int32_t local = s.pt[size_t(s.faces2[j].c1) + k];
                ASSERT_LT(size_t(2 * f.t[k] + 1), got.uv.size());
                EXPECT_EQ(got.uv[size_t(2 * f.t[k])], float(g)) << s.name << " facet " << j;
                EXPECT_EQ(got.uv[size_t(2 * f.t[k] + 1)], float(local)) << s.name << " facet " << j;
            }
        }
    }
}

}  // namespace
