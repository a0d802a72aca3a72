// One chunk of a group body in hand: what it is, its text, and what its
// formatting found, kept apart for whichever thread formats it.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/obj/chunk_text.h"
#include "convert/obj/material_lines.h"
#include "convert/options/clean.h"
#include "convert/options/facet_corners.h"
#include "convert/parallel/chunk_cursor.h"

namespace quarlen {

// One corner's text, " v/t", in a slot that is copied whole.
struct CornerText {
    char text[32];      // the text, len bytes of it
    unsigned char len;  // its length
};

struct BodySlot {
    BodyChunk c;                  // the chunk
    ChunkText text;               // its text, when it is not written straight into the output
    bool ok = true;               // false: a facet had a corner outside its lists ("bad value")
    bool noMemory = false;        // memory ran out while it was formatted
    ChunkMaterials materials;     // its material decisions
    CleanCounts counts;           // what --clean changed in its facets
    int32_t lines = 0;            // facet lines written
    int32_t nq = INT32_MIN;       // most corners counted in a facet line (the closing comments' Nq)
    Corners corners;              // a facet's corners, as --clean or --triangulate take them
    std::vector<CornerText> cornerText;  // those corners as text, for its triangles
};

}  // namespace quarlen
