// The facets of a group as the page's view takes them, handed to the
// raster a triangle at a time.
#include <algorithm>
#include <cassert>
#include <cmath>

#include "convert/picture/picture.h"

namespace quarlen {

namespace {

// Corner point `point` in the frame (x, y and depth, each rounded to a
// float), or false when the facets on it are left out: outside the
// group's points or not finite. Framed at each corner rather than once
// into an array: as fast (bench/picture_bench.cpp), without 12 bytes a
// point beside the group.
bool cornerPoint(const Picture& p, const Group& g, int32_t point, float out[3]) {
    if (point < 0 || point >= g.np) return false;
    const float xyz[3] = {pointAt(g, point, 0), pointAt(g, point, 1), pointAt(g, point, 2)};
    if (!(std::isfinite(xyz[0]) && std::isfinite(xyz[1]) && std::isfinite(xyz[2]))) return false;
    double s[3];
    framePoint(p.frame, xyz, s);
    for (int k = 0; k < 3; ++k) out[k] = float(s[k]);
    return true;
}

// Asks for the points of facet j's first corners ahead of their use: a
// large group's facets reach its points in any order, and waiting for
// each from memory would take longer than drawing. Inlined where it is
// used: compilers take a function that only asks for memory to do nothing.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline void fetchAhead(const Group& g, int32_t j) {
#if defined(__GNUC__)
    const Face f = faceAt(g, j);
    const uint32_t corners = std::min<uint32_t>(walkLength(f.c1, f.nc), 4);
    if (f.c1 < 0 || int64_t(f.c1) + corners > g.nq) return;
    for (uint32_t k = 0; k < corners; ++k) {
        const int32_t point = vertexEntry(g, f.c1 + int32_t(k));
        if (point >= 0 && point < g.np) __builtin_prefetch(g.xyz + 12 * size_t(point));
    }
#else
    (void)g;
    (void)j;
#endif
}

// Facets ahead whose points are asked for.
constexpr int32_t fetch_distance = 16;

}  // namespace

void drawGroup(Picture& p, const Group& g) {
    assert(p.pixels > 0);
    if (p.raster.side == 0) startRaster(p.raster, p.pixels * samples_per_pixel);
    startGroupMaterials(p.materials, g);
    Shades shades;
    bool coloured = false;  // shades holds the group's colour
    int32_t named = -2;     // the material slot taken into the run's materials last
    walkFacets(g, 0, g.nf, -1, [&](int32_t j, const Face& f, int32_t cm) {
        if (j + fetch_distance < g.nf) fetchAhead(g, j + fetch_distance);
        const uint32_t corners = walkLength(f.c1, f.nc);
        // A corner outside the vertex index list leaves the facet out.
        if (corners < 3 || !inList(f.c1, corners, g.nq)) return true;
        float first[3] = {}, previous[3] = {}, next[3] = {};
        const bool hasFirst = cornerPoint(p, g, vertexEntry(g, f.c1), first);
        bool hasPrevious = cornerPoint(p, g, vertexEntry(g, f.c1 + 1), previous);
        for (uint32_t k = 2; k < corners; ++k) {
            const bool hasNext = cornerPoint(p, g, vertexEntry(g, f.c1 + int32_t(k)), next);
            if (hasFirst && hasPrevious && hasNext) {
                if (cm != named) {
                    const int32_t material = cm < 0 ? -1 : materialWritten(p.materials, g, cm);
                    if (!coloured) {
                        float linear[3];
                        groupColour(material < 0 ? -1 : int64_t(p.materials.listed[size_t(material)]), linear);
                        makeShades(p.srgb, linear, shades);
                        coloured = true;
                    }
                    named = cm;
                }
                const ScreenTriangle t{{{first[0], first[1], first[2]},
                                        {previous[0], previous[1], previous[2]},
                                        {next[0], next[1], next[2]}}};
                p.drawn = drawTriangle(p.raster, t, shades) || p.drawn;
            }
            std::copy(next, next + 3, previous);
            hasPrevious = hasNext;
        }
        return true;
    });
}

}  // namespace quarlen
