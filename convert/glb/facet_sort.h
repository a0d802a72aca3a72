// A run of a group's facets as the GLB takes them: cleaned as --clean
// makes them, in spans of the same kind of primitive, with the corners of
// the few that cleaning altered as (point, texture vertex) pairs. Runs are
// sorted on any thread; the writer hands their spans to primitives in order.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/format/rsr.h"
#include "convert/parallel/chunk_cursor.h"
#include "convert/options/clean.h"
#include "convert/options/facet_corners.h"

namespace quarlen {

// The kind of primitive a facet goes to: its material slot (-1: none) and
// whether its corners have texture vertices.
inline int32_t primitiveKind(int32_t slot, bool textured) { return 2 * (slot + 1) + int32_t(textured); }
inline int32_t kindSlot(int32_t kind) { return kind / 2 - 1; }
inline bool kindTextured(int32_t kind) { return kind % 2 != 0; }

// Kept facets of one kind in a row. A plain span's facets are the input
// facets first to first + facets - 1, all kept with their corners as
// stored, which the layout reads again from the group: most facets are,
// and a run then holds a few spans rather than every corner. A facet that
// cleaning altered (repeated corners merged) is a span alone, its corners
// held in the run.
struct FacetSpan {
    int32_t first;     // the first input facet
    uint32_t facets;   // how many
    uint32_t corners;  // of all of them
    int32_t kind;      // their primitiveKind
    uint32_t cornersAt;  // stored_corners, or where the altered facet's corners begin in the run's corners
};
// A span whose facets' corners are read from the group as stored.
inline constexpr uint32_t stored_corners = UINT32_MAX;

struct SortedFacets {
    std::vector<FacetSpan> spans;   // the kept facets in turn
    std::vector<uint64_t> corners;  // the altered facets' corners in turn, as cornerKey
    CleanCounts counts;             // what cleaning changed in the run
    Corners scratch;                // a facet's corners while it is cleaned
};

// Spans first to end - 1 of run number `run`, all of one primitive.
struct FacetPiece {
    uint32_t run;    // the run
    uint32_t first;  // its first span of the piece
    uint32_t end;    // and the one after the last
};

// Hands the corner count of each facet of span s, in turn, to take(count).
template <class Take>
void spanFacetSizes(const Group& g, const FacetSpan& s, Take&& take) {
    if (s.cornersAt != stored_corners) return take(s.corners);
    for (uint32_t k = 0; k < s.facets; ++k) take(uint32_t(faceAt(g, s.first + int32_t(k)).nc));
}

struct InfoCount;

// Sorts the facets of chunk, which cutFacets cut from g, into out, numbered
// by n (the group's own point and texture numbers, with its bad ones).
// Given a count, counts each facet into it for --info: chunks must then be
// sorted in order.
void sortFacets(const Group& g, const Numbering& n, const BodyChunk& chunk, SortedFacets& out,
                InfoCount* count = nullptr);

}  // namespace quarlen
