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

// Each point of g in the frame (x, y and depth, each rounded to a float)
// and snapped, once for all the corners on it.
void framePoints(Picture& p, const Group& g) {
    p.points.resize(size_t(g.np));
    for (int32_t i = 0; i < g.np; ++i) {
        ScreenPoint& out = p.points[size_t(i)];
        const float xyz[3] = {pointAt(g, i, 0), pointAt(g, i, 1), pointAt(g, i, 2)};
        if (!(std::isfinite(xyz[0]) && std::isfinite(xyz[1]) && std::isfinite(xyz[2]))) {
            out.snap[0] = left_out;
            continue;
        }
        double s[3];
        framePoint(p.frame, xyz, s);
        for (int k = 0; k < 3; ++k) out.at[k] = float(s[k]);
        snapPoint(p.raster, out);
    }
}

// Corner point `point` framed, or null when the facets on it are left out.
const ScreenPoint* cornerPoint(const Picture& p, const Group& g, int32_t point) {
    if (point < 0 || point >= g.np) return nullptr;
    const ScreenPoint* s = &p.points[size_t(point)];
    return s->snap[0] == left_out ? nullptr : s;
}

// Asks for the points of facet j's first corners ahead of their use: a
// large group's facets reach its points in any order, and waiting for
// each from memory would take longer than drawing. Inlined where it is
// used: compilers take a function that only asks for memory to do nothing.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline void fetchAhead(const Picture& p, const Group& g, int32_t j) {
#if defined(__GNUC__)
    const Face f = faceAt(g, j);
    const uint32_t corners = std::min<uint32_t>(walkLength(f.c1, f.nc), 4);
    if (f.c1 < 0 || int64_t(f.c1) + corners > g.nq) return;
    for (uint32_t k = 0; k < corners; ++k) {
        const int32_t point = vertexEntry(g, f.c1 + int32_t(k));
        if (point >= 0 && point < g.np) __builtin_prefetch(&p.points[size_t(point)]);
    }
#else
    (void)p;
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
        if (j + fetch_distance < g.nf) fetchAhead(p, g, j + fetch_distance);
        const uint32_t corners = walkLength(f.c1, f.nc);
        // A corner outside the vertex index list leaves the facet out.
        if (corners < 3 || !inList(f.c1, corners, g.nq)) return true;
        const ScreenPoint* first = cornerPoint(p, g, vertexEntry(g, f.c1));
        const ScreenPoint* previous = cornerPoint(p, g, vertexEntry(g, f.c1 + 1));
        for (uint32_t k = 2; k < corners; ++k) {
            const ScreenPoint* next = cornerPoint(p, g, vertexEntry(g, f.c1 + int32_t(k)));
            if (first && previous && next) {
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
                p.drawn = drawTriangle(p.raster, ScreenTriangle{{first, previous, next}}, shades) || p.drawn;
            }
            previous = next;
        }
        return true;
    });
}

}  // namespace quarlen
