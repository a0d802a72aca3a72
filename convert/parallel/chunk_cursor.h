// Cutting a group body into chunks for the writer pool: the point lines,
// then the texture-vertex lines, then the facets, each chunk carrying the
// material in force before it.
#pragma once

#include <cstdint>

#include "convert/format/rsr.h"

namespace quarlen {

enum class BodyPart { points, texture_vertices, facets, done };

// A run of lines or facets of one part of the body. For facets, `from` and
// `to` bound the corners of the first and last facet, so that a chunk can
// hold one piece of a long facet line.
struct BodyChunk {
    BodyPart part = BodyPart::points;  // the part it is of
    int32_t begin = 0, end = 0;        // its lines or facets, begin to end - 1
    uint32_t from = 0;                 // the first facet's first corner in it
    uint32_t to = UINT32_MAX;          // the last facet's corners end before this one
    int32_t cm = -1;                   // the material in force before the chunk
};

// Where the cutting of a body has got to.
struct ChunkCursor {
    BodyPart part = BodyPart::points;  // the part being cut
    int32_t next = 0;     // the first line or facet not yet in a chunk
    uint32_t corner = 0;  // corners of facet `next` already in pieces
    int32_t cm = -1;      // the material in force before facet `next`
};

// A cursor at the start of g's body, past the parts g has none of.
ChunkCursor startBody(const Group& g);

// Moves past a part that has no more lines or facets.
void settle(ChunkCursor& c, const Group& g);

// The rest of the part the cursor is at, whole, as one chunk: the facets
// of a body written on one thread. The cursor must have no facet in pieces.
BodyChunk cutRest(ChunkCursor& c, const Group& g);

// The next chunk of at most `budget` point or texture-vertex lines. The
// cursor must be at one of those parts.
BodyChunk cutLines(ChunkCursor& c, const Group& g, uint32_t budget);

// The next chunk of whole facets: the first, then each next one while the
// units that units(j, face) gives them add up to no more than budget. The
// cursor must be at the facets, with no facet in pieces.
template <class Units>
BodyChunk cutFacets(ChunkCursor& c, const Group& g, uint64_t budget, Units&& units) {
    assert(c.part == BodyPart::facets && c.corner == 0 && c.next < g.nf);
    BodyChunk chunk;
    chunk.part = BodyPart::facets;
    chunk.begin = c.next;
    chunk.cm = c.cm;
    uint64_t used = 0;
    const FacetsWalked walked = walkFacets(g, c.next, g.nf, c.cm, [&](int32_t j, const Face& f, int32_t) {
        const uint64_t u = units(j, f);
        if (j > chunk.begin && used + u > budget) return false;
        used += u;
        return true;
    });
    chunk.end = c.next = walked.end;
    c.cm = walked.cm;
    settle(c, g);
    return chunk;
}

// The next chunk of facets: whole facets while their units add up to no
// more than budget, a facet counting one and `perCorner` for each corner of
// its walk. With `pieces`, a facet larger than budget goes in pieces of
// budget corners, the first counting one more (its "f"); without, it is a
// chunk alone.
BodyChunk cutFacetLines(ChunkCursor& c, const Group& g, uint32_t budget, bool pieces, uint32_t perCorner);

}  // namespace quarlen
