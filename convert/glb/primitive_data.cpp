#include "convert/glb/primitive_data.h"

#include <bit>
#include <cassert>
#include <cstring>

#include "convert/glb/fetch_ahead.h"
#include "convert/format/bit_cast.h"
#include "convert/options/facet_corners.h"
#include "convert/options/clean.h"

namespace quarlen {

void PrimitiveBuild::reset(int32_t m, bool t) {
    material = m;
    textured = t;
    pieces.clear();
    corners = 0;
    triangles = 0;
}

namespace {

// glTF's data is little-endian whatever the host's order.
unsigned char* putLE32(unsigned char* to, uint32_t x) {
    if constexpr (std::endian::native == std::endian::big) x = endianrev(x);
    std::memcpy(to, &x, 4);  // one store
    return to + 4;
}

unsigned char* putPositions(const Group& g, double scale, const std::vector<uint64_t>& vertices, GlbPrimitive& p,
                            unsigned char* to) {
    assert(!vertices.empty());
    scaledPoint(g, keyPoint(vertices[0]), scale, p.min);
    scaledPoint(g, keyPoint(vertices[0]), scale, p.max);
    for (size_t v = 0; v < vertices.size(); ++v) {
        if (v + fetch_distance < vertices.size())
            fetchAhead(g.xyz + 12 * size_t(keyPoint(vertices[v + fetch_distance])));
        float s[3];
        scaledPoint(g, keyPoint(vertices[v]), scale, s);
        for (int k = 0; k < 3; ++k) {
            if (s[k] < p.min[k]) p.min[k] = s[k];
            if (s[k] > p.max[k]) p.max[k] = s[k];
            to = putLE32(to, bitCast<uint32_t>(s[k]));
        }
    }
    return to;
}

// glTF's texture origin is the top-left corner, OBJ's the bottom-left.
unsigned char* putTexcoords(const Group& g, const std::vector<uint64_t>& vertices, unsigned char* to) {
    for (size_t v = 0; v < vertices.size(); ++v) {
        if (v + fetch_distance < vertices.size())
            fetchAhead(g.uv + 8 * size_t(keyTexture(vertices[v + fetch_distance])));
        float c[2];
        texturePoint(g, keyTexture(vertices[v]), c);
        to = putLE32(to, bitCast<uint32_t>(c[0]));
        to = putLE32(to, bitCast<uint32_t>(1.0f - c[1]));
    }
    return to;
}

// Indices as the binary chunk holds them: 32-bit, or 16-bit in pairs, an
// odd count ending with a 0 of padding.
struct IndexList {
    unsigned char* to;         // where the next index goes
    bool wide;                 // 32-bit indices
    uint32_t waiting = 0;      // a 16-bit index waiting for its pair
    bool isWaiting = false;    // one is

    void put(uint32_t v) {
        if (wide) to = putLE32(to, v);
        else if (isWaiting) to = putLE32(to, waiting | v << 16);
        else waiting = v;
        isWaiting = !wide && !isWaiting;
    }
    unsigned char* end() { return isWaiting ? putLE32(to, waiting) : to; }
};

// Each facet's fan of triangles.
unsigned char* putIndices(const Group& g, const PrimitiveBuild& b, const std::vector<std::unique_ptr<SortedFacets>>& runs,
                          const std::vector<uint32_t>& vertexOf, bool wide, unsigned char* to) {
    IndexList list{to, wide};
    uint32_t first = 0;  // the facet's first corner in vertexOf
    for (const FacetPiece& piece : b.pieces) {
        const SortedFacets& r = *runs[piece.run];
        for (uint32_t k = piece.first; k < piece.end; ++k) {
            spanFacetSizes(g, r.spans[k], [&](uint32_t corners) {
                const uint32_t end = first + corners;
                for (size_t i = 0; first + i + 2 < end; ++i) {
                    size_t at[3];
                    fanTriangle(i, at);
                    // Each triangle brings in the next corner: vertices numbered
                    // in corner order are numbered as the triangles first use them.
                    assert(at[0] < at[1] && at[1] < at[2] && at[2] == i + 2);
                    for (const size_t c : at) list.put(vertexOf[first + c]);
                }
                first = end;
            });
        }
    }
    assert(first == vertexOf.size());
    return list.end();
}

// Corners read from the group go to the table in batches of about this many.
constexpr size_t key_batch = 4096;

// Numbers the corners of b's facets in s.
void numberCorners(const Group& g, const PrimitiveBuild& b, const std::vector<std::unique_ptr<SortedFacets>>& runs,
                   NumberingSpace& s) {
    std::vector<uint64_t>& keys = s.keys;
    keys.clear();
    auto flush = [&] {
        s.table.number(keys.data(), keys.size(), s.vertexOf, s.vertices);
        keys.clear();
    };
    for (const FacetPiece& piece : b.pieces) {
        const SortedFacets& r = *runs[piece.run];
        assert(piece.first < piece.end && piece.end <= r.spans.size());
        for (uint32_t k = piece.first; k < piece.end; ++k) {
            const FacetSpan& span = r.spans[k];
            if (span.cornersAt != stored_corners) {
                flush();
                s.table.number(r.corners.data() + span.cornersAt, span.corners, s.vertexOf, s.vertices);
                continue;
            }
            for (uint32_t i = 0; i < span.facets; ++i) {
                const int32_t j = span.first + int32_t(i);
                const Face f = faceAt(g, j);
                const int32_t t1 = b.textured ? texFaceAt(g, j).c1 : 0;
                for (int32_t c = 0; c < f.nc; ++c)
                    keys.push_back(cornerKey(vertexEntry(g, f.c1 + c), b.textured ? textureEntry(g, t1 + c) : -1));
                if (keys.size() >= key_batch) flush();
            }
        }
    }
    flush();
}

}  // namespace

void layOutPrimitive(const Group& g, double scale, const PrimitiveBuild& b,
                     const std::vector<std::unique_ptr<SortedFacets>>& runs, NumberingSpace& s, PrimitiveData& d) {
    assert(b.triangles > 0 && !b.pieces.empty());
    s.table.reset(b.corners);
    // At their full size at once: growing copies them into fresh memory.
    s.vertexOf.clear();
    s.vertexOf.reserve(b.corners);
    s.vertices.clear();
    s.vertices.reserve(b.corners);
    numberCorners(g, b, runs, s);
    assert(s.vertexOf.size() == b.corners);
    GlbPrimitive& p = d.p;
    p = GlbPrimitive{};
    p.material = b.material;
    p.textured = b.textured;
    p.vertices = static_cast<uint32_t>(s.vertices.size());
    p.indices = 3 * b.triangles;
    const GlbLayout l = layoutOf(p);
    d.bytes.resize(static_cast<size_t>(l.end));  // one primitive: its triangles fit in memory
    unsigned char* to = putPositions(g, scale, s.vertices, p, d.bytes.data());
    if (b.textured) to = putTexcoords(g, s.vertices, to);
    assert(uint64_t(to - d.bytes.data()) == l.indices);
    to = putIndices(g, b, runs, s.vertexOf, wideIndices(p.vertices), to);
    assert(uint64_t(to - d.bytes.data()) == l.end && "the data lies where the JSON part says");
}

}  // namespace quarlen
