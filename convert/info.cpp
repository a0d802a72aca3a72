#include "convert/info.h"

#include <cmath>
#include <new>

#include "convert/rsr.h"

namespace {

void describe(InfoReport& report, const char* name, const Group& g) {
    InfoGroup& ig = report.groups.emplace_back();
    ig.name = name;
    ig.points = g.np;
    ig.textureVertices = g.nt;
    for (int32_t i = 0; i < g.nm; ++i) ig.materials.emplace_back(materialName(g, i).s);

    // What the option writer with clean alone would count.
    CleanCounts& c = report.problems;
    if (!safeName(name, false)) ++c.names;
    std::vector<unsigned char> badPoint(size_t(g.np)), badTex(size_t(g.nt)), named(size_t(g.nm));
    for (int32_t i = 0; i < g.np; ++i) {
        const size_t k = 3 * size_t(i);
        if (std::isfinite(floatAt(g.xyz, k)) && std::isfinite(floatAt(g.xyz, k + 1)) && std::isfinite(floatAt(g.xyz, k + 2)))
            continue;
        badPoint[size_t(i)] = 1;
        ++c.pointsZeroed;
    }
    for (int32_t i = 0; i < g.nt; ++i) {
        if (std::isfinite(floatAt(g.uv, 2 * size_t(i))) && std::isfinite(floatAt(g.uv, 2 * size_t(i) + 1))) continue;
        badTex[size_t(i)] = 1;
        ++c.textureZeroed;
    }
    Numbering n;
    n.badPoint = badPoint.data();
    n.badTex = badTex.data();
    Corners corners;
    int32_t cm = -1;
    for (int32_t j = 0; j < g.nf; ++j) {
        const unsigned char* rec = g.fac + size_t(j) * face_size;
        ++ig.facets[faceNc(rec)];
        const int32_t mat = faceMat(rec);
        if (mat != cm && mat >= 0 && mat < g.nm) cm = mat;
        if (!cleanFacet(g, j, n, corners, c)) continue;
        // The material's name is written, and counted, with its first facet.
        if (cm >= 0 && !named[size_t(cm)]) {
            named[size_t(cm)] = 1;
            if (!safeName(materialName(g, cm).s, true)) ++c.names;
        }
    }
}

}  // namespace

bool addInfoGroup(InfoReport& report, const char* name, const Group& g) {
    try {
        describe(report, name, g);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
