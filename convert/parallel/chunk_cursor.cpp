#include "convert/parallel/chunk_cursor.h"

#include <cassert>

namespace quarlen {

namespace {

int32_t partSize(const Group& g, BodyPart part) {
    return part == BodyPart::points ? g.np : part == BodyPart::texture_vertices ? g.nt : g.nf;
}

}  // namespace

void settle(ChunkCursor& c, const Group& g) {
    while (c.part != BodyPart::done && c.next >= partSize(g, c.part)) {
        c.part = BodyPart(int(c.part) + 1);
        c.next = 0;
    }
}

ChunkCursor startBody(const Group& g) {
    ChunkCursor c;
    settle(c, g);
    return c;
}

BodyChunk cutRest(ChunkCursor& c, const Group& g) {
    assert(c.part != BodyPart::done && c.corner == 0);
    BodyChunk chunk;
    chunk.part = c.part;
    chunk.begin = c.next;
    chunk.end = partSize(g, c.part);
    chunk.cm = c.cm;
    c.next = chunk.end;
    settle(c, g);
    return chunk;
}

BodyChunk cutLines(ChunkCursor& c, const Group& g, uint32_t budget) {
    assert(c.part == BodyPart::points || c.part == BodyPart::texture_vertices);
    assert(budget > 0);
    BodyChunk chunk;
    chunk.part = c.part;
    chunk.begin = c.next;
    const int64_t n = partSize(g, c.part);
    chunk.end = static_cast<int32_t>(n - c.next > budget ? c.next + int64_t(budget) : n);
    c.next = chunk.end;
    settle(c, g);
    return chunk;
}

BodyChunk cutFacetLines(ChunkCursor& c, const Group& g, uint32_t budget, bool pieces, uint32_t perCorner) {
    assert(c.part == BodyPart::facets && budget > 0);
    auto units = [&](const Face& f) { return 1 + uint64_t(walkLength(f.c1, f.nc)) * perCorner; };
    const Face first = faceAt(g, c.next);
    if (!pieces || (c.corner == 0 && units(first) <= budget))
        return cutFacets(c, g, budget, [&](int32_t, const Face& f) { return units(f); });
    BodyChunk chunk;
    chunk.part = BodyPart::facets;
    chunk.begin = c.next;
    chunk.end = c.next + 1;
    chunk.from = c.corner;
    chunk.cm = c.cm;
    if (c.corner == 0) c.cm = materialAfter(g, c.cm, first.mat);
    if (walkLength(first.c1, first.nc) - c.corner > budget) {
        chunk.to = c.corner + budget;
        c.corner = chunk.to;
    } else {
        c.corner = 0;
        ++c.next;
    }
    settle(c, g);
    return chunk;
}

}  // namespace quarlen
