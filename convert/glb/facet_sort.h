// A run of a group's facets as the GLB takes them: cleaned as --clean
// makes them, each with its corners as (point, texture vertex) pairs and
// the kind of primitive it goes to. Runs are sorted on any thread; the
// writer hands their facets to primitives in order.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/format/rsr.h"
#include "convert/obj/chunk_cursor.h"
#include "convert/options/clean.h"
#include "convert/options/facet_corners.h"

namespace quarlen {

// The kind of primitive a facet goes to: its material slot (-1: none) and
// whether its corners have texture vertices.
inline int32_t primitiveKind(int32_t slot, bool textured) { return 2 * (slot + 1) + int32_t(textured); }
inline int32_t kindSlot(int32_t kind) { return kind / 2 - 1; }
inline bool kindTextured(int32_t kind) { return kind % 2 != 0; }

struct SortedFacets {
    std::vector<uint64_t> corners;  // the kept facets' corners in turn, as cornerKey
    std::vector<uint32_t> ends;     // where each kept facet's corners end
    std::vector<int32_t> kinds;     // each kept facet's primitiveKind
    CleanCounts counts;             // what cleaning changed in the run
    Corners scratch;
};

// Facets first to end - 1 of run number `run`, all of one primitive.
struct FacetPiece {
    uint32_t run, first, end;
};

// Where facet k of a run begins in its corners.
inline uint32_t facetStart(const SortedFacets& r, size_t k) { return k ? r.ends[k - 1] : 0; }

struct InfoCount;

// Sorts the facets of chunk, which cutFacets cut from g, into out, numbered
// by n (the group's own point and texture numbers, with its bad ones).
// Given a count, counts each facet into it for --info: chunks must then be
// sorted in order.
void sortFacets(const Group& g, const Numbering& n, const BodyChunk& chunk, SortedFacets& out,
                InfoCount* count = nullptr);

}  // namespace quarlen
