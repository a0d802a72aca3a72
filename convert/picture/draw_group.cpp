// The facets of a group as the page's view takes them, handed to the
// raster a triangle at a time.
#include <algorithm>
#include <cassert>
#include <cmath>

#include "convert/picture/picture.h"

namespace quarlen {

namespace {

// Marks a point whose facets are left out: outside the group's points or
// not finite. A snapped point is never as far out.
constexpr int32_t left_out = INT32_MIN;

// A group of up to this many points is framed once, point by point, into
// an array that stays in the cache; a larger group's points are framed at
// each corner, as its array would take longer to get from memory, page by
// page, than framing again saves.
constexpr int32_t framed_at_once = 1 << 16;

// Point i of g in the frame (x, y and depth, each rounded to a float) and
// snapped; left_out when not finite.
void framePointOf(const Picture& p, const Group& g, int32_t i, ScreenPoint& out) {
    const float xyz[3] = {pointAt(g, i, 0), pointAt(g, i, 1), pointAt(g, i, 2)};
    if (!(std::isfinite(xyz[0]) && std::isfinite(xyz[1]) && std::isfinite(xyz[2]))) {
        out.snap[0] = left_out;
        return;
    }
    double s[3];
    framePoint(p.frame, xyz, s);
    for (int k = 0; k < 3; ++k) out.at[k] = float(s[k]);
    snapPoint(p.raster, out);
}

void framePoints(Picture& p, const Group& g) {
    p.points.resize(g.np <= framed_at_once ? size_t(g.np) : 0);
    for (size_t i = 0; i < p.points.size(); ++i) framePointOf(p, g, int32_t(i), p.points[i]);
}

// Corner point `point` framed (into `held` unless framed at once), or null
// when the facets on it are left out.
const ScreenPoint* cornerPoint(const Picture& p, const Group& g, int32_t point, ScreenPoint& held) {
    if (point < 0 || point >= g.np) return nullptr;
    const ScreenPoint* s = &held;
    if (p.points.empty())
        framePointOf(p, g, point, held);
    else
        s = &p.points[size_t(point)];
    return s->snap[0] == left_out ? nullptr : s;
}

// Asks for the points of facet j's first corners ahead of their use: a
// large group's facets reach its points in any order, and waiting for
// each from memory would take longer than drawing. Inlined where it is
// used: compilers take a function that only asks for memory to do nothing.
// WebAssembly has no such request.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline void fetchAhead(const Group& g, int32_t j) {
#if defined(__GNUC__) && !defined(__wasm__)
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
    framePoints(p, g);
    Shades shades;
    bool coloured = false;  // shades holds the group's colour
    int32_t named = -2;     // the material slot taken into the run's materials last
    walkFacets(g, 0, g.nf, -1, [&](int32_t j, const Face& f, int32_t cm) {
        if (p.points.empty() && j + fetch_distance < g.nf) fetchAhead(g, j + fetch_distance);
        const uint32_t corners = walkLength(f.c1, f.nc);
        // A corner outside the vertex index list leaves the facet out.
        if (corners < 3 || !inList(f.c1, corners, g.nq)) return true;
        ScreenPoint held[3];  // the corners, where the group's points are not framed at once
        const ScreenPoint* first = cornerPoint(p, g, vertexEntry(g, f.c1), held[0]);
        const ScreenPoint* previous = cornerPoint(p, g, vertexEntry(g, f.c1 + 1), held[1]);
        for (uint32_t k = 2; k < corners; ++k) {
            const ScreenPoint* next = cornerPoint(p, g, vertexEntry(g, f.c1 + int32_t(k)), held[k % 2 ? 1 : 2]);
            if (first && previous && next) {
                if (cm != named) {
                    const int32_t material = cm < 0 ? -1 : materialWritten(p.materials, g, cm);
                    if (!coloured) {
                        float linear[3];
                        groupColour(material < 0 ? -1 : int64_t(p.materials.listed[size_t(material)]), linear);
                        makeShades(linear, shades);
                        coloured = true;
                    }
                    named = cm;
                }
                p.drawn = drawTriangle(p.raster, ScreenTriangle{{first, previous, next}}, shades) || p.drawn;
            }
            previous = next;
        }
        return true;
    });
}

}  // namespace quarlen
