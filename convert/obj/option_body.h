// A group body of the option writer as chunks for the writer pool: the
// point lines (welded points once), the texture-vertex lines, and the facets
// after clean and triangulate, with their material lines. What depends on
// the points before a chunk is prepared as the chunk is cut, on the run's
// thread; what depends on the facets before it is settled as it is
// written, in order; formatting happens on any thread in between.
#pragma once

#include <cstdint>

#include "convert/obj/obj_lines.h"
#include "convert/obj/option_materials.h"
#include "convert/obj/option_points.h"
#include "convert/obj/writer_pool.h"
#include "convert/format/group_writer.h"

namespace quarlen {

// What one group's body reads, and what it settles.
struct OptionGroup {
    Output& out;
    const OutputOptions& o;
    const Group& g;
    const Numbering& n;
    PointPrep& points;         // prepared as chunks are cut
    int32_t& nextPoint;        // the number a new welded point takes, moved on as they are cut
    CleanCounts& prepared;     // points and texture vertices zeroed, counted as they are cut
    MaterialLines& materials;  // settled as chunks are written
    Totals& totals;            // facet lines and most corners, as chunks are written
    CleanCounts& counts;       // what clean changed in the facets, as chunks are written
};

// Writes g's body in chunks of about `chunk` units, on the pool's threads
// (or, without a pool, one at a time). bad_value when a facet has a corner
// outside its lists, no_memory when memory ran out; what came before stays
// written.
GroupWritten writeOptionBody(WriterPool* pool, uint32_t chunk, const OptionGroup& group);

}  // namespace quarlen
