// Pictures (--png) checked against the model they show: where it lands, its
// colours and shades, the facets the page's view leaves out, the placeholder.
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

#include "convert/picture/placeholder.h"
#include "convert/picture/view.h"
#include "tests/recording_notice.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb_image.h>  // a system header: its warnings are not shown

namespace {

constexpr int side = 64;  // pixels

// The run and its PNG file decoded (empty unless side x side).
std::pair<Converted, std::vector<unsigned char>> draw(const Bytes& rsr, bool inMemory = true) {
    const OutputOptions o{.png = true, .pictureSize = side};
    std::pair<Converted, std::vector<unsigned char>> d{inMemory ? convertInMemory(rsr, o) : convertBytes(rsr, &o), {}};
    int w = 0, h = 0, n = 0;
    const auto* png = reinterpret_cast<const stbi_uc*>(d.first.obj.data());
    if (stbi_uc* p = stbi_load_from_memory(png, int(d.first.obj.size()), &w, &h, &n, 4)) {
        if (w == side && h == side) d.second.assign(p, p + 4 * side * side);
        stbi_image_free(p);
    }
    return d;
}

// A unit cube: group "a" has face x = 1 ("red") and those hidden, "b" faces y = 1 and z = 1
// ("blue"); points 8 and 9 are not finite and past the points; face y = 1 may have a fifth
// corner. Then a group of no facets larger than a read block.
std::vector<GroupSpec> cube(std::vector<Facet> more = {}, std::vector<int32_t> corners = {}, int32_t fifth = -1) {
    const std::vector<float> xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1, NAN, 0, 0};
    std::vector<GroupSpec> g = {{.name = "a", .xyz = xyz, .mats = {"red"}}, {.name = "b", .xyz = xyz, .mats = {"blue"}},
                                {.name = "large", .texq = 1, .uv = std::vector<float>(40000, 0.5f)}};
    const int32_t faces[6][4] = {{1, 3, 7, 5}, {2, 6, 7, 3}, {4, 5, 7, 6}, {0, 4, 6, 2}, {0, 1, 5, 4}, {0, 2, 3, 1}};
    for (int f = 0; f < 6; ++f) {
        GroupSpec& h = g[f == 1 || f == 2];
        h.faces.push_back({int32_t(h.pf.size()), 4 + (f == 1 && fifth >= 0), 0});
        h.pf.insert(h.pf.end(), faces[f], faces[f] + 4);
        if (f == 1 && fifth >= 0) h.pf.push_back(fifth);
    }
    for (const Facet& f : more) g[0].faces.push_back({f.c1 + int32_t(g[0].pf.size()), f.nc, f.mat});
    g[0].pf.insert(g[0].pf.end(), corners.begin(), corners.end());
    return g;
}

TEST(Picture, CubeFramedColouredAndShaded) {
    const auto [run, rgba] = draw(buildRsr(cube()), false);
    // Covered: the corners' extent on the view's axes, the larger within the margins, centred.
    double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
    for (int i = 0; i < 8; ++i) {
        const float p[3] = {float(i & 1), float(i >> 1 & 1), float(i >> 2)};
        const double at[2] = {viewCoordinate(pageView().right, p), viewCoordinate(pageView().up, p)};
        for (int k = 0; k < 2; ++k) lo[k] = std::min(lo[k], at[k]), hi[k] = std::max(hi[k], at[k]);
    }
    const double scale = (side - 2 * pictureMargin(side)) / std::max(hi[0] - lo[0], hi[1] - lo[1]);
    int covered[2][2] = {{side, -1}, {side, -1}};
    std::map<uint32_t, int> opaque;  // pixels wholly covered, by red and blue
    for (int k = 0; k < int(rgba.size()) / 4; ++k) {
        if (!rgba[4 * k + 3]) continue;
        for (const auto& [axis, at] : {std::pair{0, k % side}, std::pair{1, k / side}})
            covered[axis][0] = std::min(covered[axis][0], at), covered[axis][1] = std::max(covered[axis][1], at);
        if (rgba[4 * k + 3] == 255) ++opaque[uint32_t(rgba[4 * k] << 8 | rgba[4 * k + 2])];
    }
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(covered[k][0], (side - (hi[k] - lo[k]) * scale) / 2, 1.0) << k;
        EXPECT_NEAR(covered[k][1] + 1, (side + (hi[k] - lo[k]) * scale) / 2, 1.0) << k;
    }
    std::vector<int> shades(2);  // three faces, three shades: two blue, one red
    for (const auto& [c, n] : opaque) shades[(c >> 8) > (c & 0xFF)] += n > side * side / 20;
    EXPECT_EQ(shades, (std::vector<int>{2, 1}));
}

TEST(Picture, FacetsLeftOutAndFailures) {
    // A red facet on face y = 1, drawn first, with a point not finite or past the points, or
    // corners past the vertex index list: left out. Face y = 1 with a last triangle on such a
    // point: the rest drawn. Runs that fail, told as the GLB's: cut in the first group, no
    // group (the placeholder), the cube then a cut.
    const Bytes full = buildRsr(cube());
    Bytes none(full.begin(), full.begin() + header_size), cut = buildRsr({cube()[0], cube()[1]});
    putI32(none, 300);
    cut.resize(cut.size() - trailer_size - 4);
    putGroup(cut, cube()[0]);
    cut.resize(cut.size() - 10);
    const auto whole = draw(full).second, placeholder = placeholderImage(side).rgba;
    const std::tuple<Bytes, std::vector<unsigned char>, bool> cases[] = {  // bytes, picture, failed
        {buildRsr(cube({{0, 3, 0}}, {2, 6, 8})), whole, false}, {buildRsr(cube({{0, 3, 0}}, {2, 6, 9})), whole, false},
        {buildRsr(cube({{0, 4, 0}}, {2, 6, 7})), whole, false}, {buildRsr(cube({}, {}, 8)), whole, false},
        {buildRsr(cube({}, {}, 9)), whole, false}, {Bytes(full.begin(), full.begin() + 400), placeholder, true},
        {none, placeholder, true}, {cut, whole, true}};
    for (const auto& [rsr, picture, failed] : cases) {
        const auto [run, rgba] = draw(rsr);
        EXPECT_TRUE(!picture.empty() && rgba == picture) << rsr.size();
        EXPECT_EQ(runSummary(run, false),
                  failed ? runSummary(convertInMemory(rsr, {.glb = true}), false) : "0\n<out>|0|Finished.\n");
    }
}

}  // namespace
