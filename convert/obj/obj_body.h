// A group body of the OBJ writer: the point lines (welded points once),
// the texture-vertex lines, and the facets (after clean and triangulate,
// when asked) with their material lines. A large body goes as chunks to
// the writer pool: what depends on the points before a chunk is prepared
// as the chunk is cut, on the run's thread; what depends on the facets
// before it is settled as it is written, in order; formatting happens on
// any thread in between. A body with no option that needs a chunk of its
// own (the traditional output) is written straight into the output when
// no pool formats it.
#pragma once

#include <cstdint>
#include <memory>

#include "convert/obj/material_lines.h"
#include "convert/obj/obj_lines.h"
#include "convert/obj/option_points.h"
#include "convert/parallel/writer_pool.h"
#include "convert/format/group_writer.h"

namespace quarlen {

struct InfoCount;

// What one group's body reads, and what it settles.
struct BodyGroup {
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
    InfoCount* count;          // --info's, counted facet by facet in order; or null
};

// The chunks' text and working memory, kept by the writer from one group
// to the next.
struct BodySlots;
struct BodySlotsFree {
    void operator()(BodySlots* s) const;
};
using BodyMemory = std::unique_ptr<BodySlots, BodySlotsFree>;
BodyMemory newBodyMemory();

// Writes g's body in chunks of about `chunk` units, on the pool's threads
// (or, without a pool, one at a time). bad_value when a facet has a corner
// outside its lists, no_memory when memory ran out; what came before stays
// written.
GroupWritten writeBody(WriterPool* pool, uint32_t chunk, BodySlots& memory, const BodyGroup& group);

}  // namespace quarlen
