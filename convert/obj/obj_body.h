// A group body of the OBJ writer: the point lines (welded points once),
// the texture-vertex lines, and the facets (after clean and triangulate,
// when asked) with their material lines. One driver writes every body, in
// chunks through the writer pool: what depends on the points before a
// chunk is prepared as the chunk is cut, on the run's thread; what depends
// on the facets before it is settled as it is written, in order;
// formatting happens on any thread in between. Without a pool, each part
// of the body (points, texture vertices, facets) is one chunk, formatted
// straight into the output.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/obj/body_slot.h"
#include "convert/obj/material_lines.h"
#include "convert/obj/obj_lines.h"
#include "convert/obj/option_points.h"
#include "convert/parallel/writer_pool.h"
#include "convert/format/group_writer.h"

namespace quarlen {

struct InfoCount;

// What one group's body reads, and what it settles.
struct BodyGroup {
    Output& out;               // the run's output
    const OutputOptions& o;    // the options
    const Group& g;            // the group
    const Numbering& n;        // how its corners are numbered
    PointPrep& points;         // prepared as chunks are cut
    int32_t& nextPoint;        // the number a new welded point takes, moved on as they are cut
    CleanCounts& prepared;     // points and texture vertices zeroed, counted as they are cut
    MaterialLines& materials;  // settled as chunks are written
    Totals& totals;            // facet lines and most corners, as chunks are written
    CleanCounts& counts;       // what clean changed in the facets, as chunks are written
    InfoCount* count;          // --info's, counted facet by facet in order; or null
};

// Writes g's body in chunks of about `chunk` units on the pool's threads,
// or without a pool one part at a time on the caller's; `slots` is the
// chunks' memory, kept by the writer from one group to the next. bad_value
// when a facet has a corner outside its lists, no_memory when memory ran
// out; what came before stays written.
GroupWritten writeBody(WriterPool* pool, uint32_t chunk, std::vector<BodySlot>& slots, const BodyGroup& group);

}  // namespace quarlen
