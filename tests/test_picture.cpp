// Pictures (--png) checked against the model they show, never a stored image.
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

#include "convert/picture/image.h"
#include "convert/picture/placeholder.h"
#include "convert/picture/view.h"
#include "tests/recording_notice.h"
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>  // a system header: its warnings are not shown

namespace {

constexpr int side = 64;  // pixels

bool append(void* to, const char* p, size_t n) { return static_cast<std::string*>(to)->append(p, n), true; }
void ignore(void*, const char*, const char*, unsigned) {}

// The run and its PNG file decoded (empty unless side x side).
std::pair<Converted, std::vector<unsigned char>> draw(const Bytes& rsr, bool inMemory = true) {
    const OutputOptions o{.png = true, .pictureSize = side};
    std::pair<Converted, std::vector<unsigned char>> d{inMemory ? convertInMemory(rsr, o) : convertBytes(rsr, &o), {}};
    int w = 0, h = 0, n = 0, size = int(d.first.obj.size());
    stbi_uc* p = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(d.first.obj.data()), size, &w, &h, &n, 4);
    if (p && w == side && h == side) d.second.assign(p, p + 4 * side * side);
    stbi_image_free(p);
    return d;
}

// A unit cube: "a" has face x = 1 ("red") and those hidden, "b" y = 1 and z = 1 ("blue"); points 8
// and 9: not finite, past the points; face y = 1 with a fifth corner if any; then no facets, 160 kB.
std::vector<GroupSpec> cube(std::vector<Facet> more = {}, std::vector<int32_t> corners = {}, int32_t fifth = -1) {
    const std::vector<float> xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1, NAN, 0, 0};
    std::vector<GroupSpec> g = {{.name = "a", .xyz = xyz, .mats = {"red"}}, {.name = "b", .xyz = xyz, .mats = {"blue"}},
                                {.name = "large", .texq = 1, .uv = std::vector<float>(40000, 0.5f)}};
    const int faces[6][5] = {{1, 3, 7, 5}, {2, 6, 7, 3, fifth}, {4, 5, 7, 6}, {0, 4, 6, 2}, {0, 1, 5, 4}, {0, 2, 3, 1}};
    for (int f = 0; f < 6; ++f) {
        const int n = 4 + (faces[f][4] > 0);
        g[f == 1 || f == 2].faces.push_back({int32_t(g[f == 1 || f == 2].pf.size()), n, 0});
        g[f == 1 || f == 2].pf.insert(g[f == 1 || f == 2].pf.end(), faces[f], faces[f] + n);
    }
    for (const Facet& f : more) g[0].faces.push_back({f.c1 + int32_t(g[0].pf.size()), f.nc, f.mat});
    g[0].pf.insert(g[0].pf.end(), corners.begin(), corners.end());
    return g;
}

TEST(Picture, TheCubeAsThePageViewsItAndFailuresAsTheGlbTellsThem) {
    const Bytes full = buildRsr(cube()), cut(full.begin(), full.end() - trailer_size - 14);
    const auto whole = draw(full, false).second, placeholder = placeholderImage(side).rgba;
    // Covered: the corners' extent on the view's axes, the larger within the margins, centred.
    double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
    for (int i = 0; i < 8; ++i) {
        const float p[3] = {float(i & 1), float(i >> 1 & 1), float(i >> 2)};
        const double at[2] = {viewCoordinate(pageView().right, p), viewCoordinate(pageView().up, p)};
        for (int k = 0; k < 2; ++k) lo[k] = std::min(lo[k], at[k]), hi[k] = std::max(hi[k], at[k]);
    }
    const double scale = (side - 2 * pictureMargin(side)) / std::max(hi[0] - lo[0], hi[1] - lo[1]);
    int box[2][2] = {{side, -1}, {side, -1}};
    std::map<uint32_t, int> opaque;  // pixels wholly covered, by red and blue
    for (int k = 0; k < int(whole.size()) / 4; ++k) {
        for (const auto& [axis, at] : {std::pair{0, k % side}, std::pair{1, k / side}})
            if (whole[4 * k + 3]) box[axis][0] = std::min(box[axis][0], at), box[axis][1] = std::max(box[axis][1], at);
        opaque[uint32_t(whole[4 * k] << 8 | whole[4 * k + 2])] += whole[4 * k + 3] == 255;
    }
    for (int k = 0; k < 2; ++k)  // each end within a pixel
        EXPECT_LE(std::max(std::abs(2 * box[k][0] - side + (hi[k] - lo[k]) * scale),
                           std::abs(2 * box[k][1] + 2 - side - (hi[k] - lo[k]) * scale)), 2) << k;
    std::vector<int> shades(2);  // three faces, three shades: two blue, one red
    for (const auto& [c, n] : opaque) shades[(c >> 8) > (c & 0xFF)] += n > side * side / 20;
    EXPECT_EQ(shades, (std::vector<int>{2, 1}));
    // Left out: red facets on face y = 1, drawn first, on a point not finite or past the points, or past
    // the index list; face y = 1's last triangle on one. Failures told as the GLB's, drawn up to them.
    const std::tuple<Bytes, std::vector<unsigned char>, bool> cases[] = {  // bytes, picture, failed
        {buildRsr(cube({{0, 3, 0}}, {2, 6, 8})), whole, false}, {buildRsr(cube({{0, 3, 0}}, {2, 6, 9})), whole, false},
        {buildRsr(cube({{0, 4, 0}}, {2, 6, 7})), whole, false}, {buildRsr(cube({}, {}, 8)), whole, false},
        {buildRsr(cube({}, {}, 9)), whole, false}, {Bytes(full.begin(), full.begin() + 400), placeholder, true},
        {cut, whole, true}, {full, whole, false}};
    for (const auto& [rsr, picture, failed] : cases) {
        const auto [run, rgba] = draw(rsr);
        EXPECT_TRUE(!picture.empty() && rgba == picture) << rsr.size();
        EXPECT_EQ(runSummary(run, false),
                  failed ? runSummary(convertInMemory(rsr, {.glb = true}), false) : "0\n<out>|0|Finished.\n");
    }
    // Drawn beside an OBJ output, which reads as far (no bad value): the same picture, the output as without it.
    for (const Bytes& rsr : {cut, full}) {
        Image beside;
        std::string obj;
        convertRSR({.input = "in.rsr", .inputBytes = rsr, .output = "out.obj", .sink = {append, &obj},
                    .notices = {ignore, nullptr}, .alsoPicture = &beside, .alsoPictureSize = side});
        EXPECT_TRUE(beside.rgba == whole && obj == convertInMemory(rsr, 0, 0).obj) << rsr.size();
    }
}

// A unit square on a slope, cut into n x n quads.
std::vector<GroupSpec> square(int n) {
    GroupSpec g{.name = "square"};
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j) g.xyz.insert(g.xyz.end(), {float(i) / float(n), float(j) / float(n), 0.3f * float(i) / float(n)});
    for (int32_t a = 0; a < n * (n + 1); ++a)
        if (a % (n + 1) < n) g.faces.push_back({int32_t(g.pf.size()), 4, 0}), g.pf.insert(g.pf.end(), {a, a + n + 1, a + n + 2, a + 1});
    return {g};
}

// Middles on an edge two triangles share are drawn by one of them: a fine mesh has no hole where the
// same square in two triangles covers a pixel and its neighbours wholly.
TEST(Picture, AFineMeshLeavesNoSampleWithinItUndrawn) {
    const std::vector<unsigned char> whole = draw(buildRsr(square(1))).second;
    for (int n : {25, 150}) {  // facets of a few samples, and of less than one
        const std::vector<unsigned char> fine = draw(buildRsr(square(n))).second;
        ASSERT_EQ(fine.size(), whole.size());
        int within = 0;
        for (int y = 1; y + 1 < side; ++y)
            for (int x = 1; x + 1 < side; ++x) {
                bool covered = true;
                for (int k = 0; k < 9; ++k) covered &= whole[size_t(4 * ((y + k / 3 - 1) * side + x + k % 3 - 1) + 3)] == 255;
                within += covered;
                EXPECT_TRUE(!covered || fine[size_t(4 * (y * side + x) + 3)] == 255) << n << ": " << x << ", " << y;
            }
        EXPECT_GT(within, side * side / 4);
    }
}

}  // namespace
