#include "convert/obj/option_points.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "convert/format/bit_cast.h"

namespace quarlen {

void startGroupPoints(PointPrep& p, const OutputOptions& o, const Group& g, Numbering& n) {
    if (o.weld) {
        p.map.resize(size_t(g.np));
        p.added.assign(size_t(g.np), 0);
        n.map = p.map.data();
    }
    if (o.clean) {
        p.badPoint.assign(size_t(g.np), 0);
        p.badTex.assign(size_t(g.nt), 0);
        n.badPoint = p.badPoint.data();
        n.badTex = p.badTex.data();
    }
}

bool preparePoints(PointPrep& p, const OutputOptions& o, const Group& g, int32_t begin, int32_t end, int32_t& dv,
                   CleanCounts& c) {
    assert(0 <= begin && begin <= end && end <= g.np);
    if (!o.clean && !o.weld) return true;
    assert(!o.clean || p.badPoint.size() == size_t(g.np));
    assert(!o.weld || p.map.size() == size_t(g.np));
    if (o.weld && !reserveWeld(p.weld, size_t(end - begin))) return false;
    // In batches: each point's key, and its slot asked of memory, then
    // the lookups in order while the slots arrive.
    constexpr int32_t batch = 16;
    uint32_t keys[batch][3];
    const double scale = effectiveScale(o);
    for (int32_t first = begin; first < end; first += batch) {
        const int32_t last = std::min(end, first + batch);
        for (int32_t i = first; i < last; ++i) {
            float s[3];
            const bool finite = scaledPoint(g, i, scale, s);
            if (o.clean && !finite) {
                p.badPoint[size_t(i)] = 1;
                ++c.pointsZeroed;
            }
            if (!o.weld) continue;
            // Welding compares the stored bits, with clean's zeros.
            uint32_t* key = keys[i - first];
            for (int k = 0; k < 3; ++k)
                key[k] = o.clean && !std::isfinite(s[k]) ? 0 : bitCast<uint32_t>(pointAt(g, i, k));
            prefetchWeld(p.weld, key[0], key[1], key[2]);
        }
        for (int32_t i = first; o.weld && i < last; ++i) {
            const uint32_t* key = keys[i - first];
            bool added;
            const int32_t number = weldPoint(p.weld, key[0], key[1], key[2], dv, added);
            if (number == 0) return false;
            p.map[size_t(i)] = number;
            p.added[size_t(i)] = added;
            if (added) dv = wrapAdd(dv, 1);
        }
    }
    return true;
}

void prepareTextureVertices(PointPrep& p, const OutputOptions& o, const Group& g, int32_t begin, int32_t end,
                            CleanCounts& c) {
    assert(0 <= begin && begin <= end && end <= g.nt);
    for (int32_t i = begin; o.clean && i < end; ++i) {
        float uv[2];
        if (texturePoint(g, i, uv)) continue;
        p.badTex[size_t(i)] = 1;
        ++c.textureZeroed;
    }
}

}  // namespace quarlen
