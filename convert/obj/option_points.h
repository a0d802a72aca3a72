// What the points and texture vertices of a group mean for the option
// writer before they are written: with --weld, each point's output number
// and whether it is new; with --clean, which have a coordinate that is not
// finite. Worked out in order, chunk by chunk, as the body is cut, so that
// the weld table is built while earlier chunks are formatted.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/options/clean.h"
#include "convert/options/output_options.h"
#include "convert/options/weld.h"
#include "convert/format/rsr.h"

namespace quarlen {

struct PointPrep {
    WeldTable weld;                                 // every point of the file so far, with --weld
    std::vector<int32_t> map;                       // welded number of each point of the group
    std::vector<unsigned char> added;               // welded: the point is new and written
    std::vector<unsigned char> badPoint, badTex;    // non-finite, per point and texture vertex
    PointPrep() = default;
    PointPrep(const PointPrep&) = delete;
    PointPrep& operator=(const PointPrep&) = delete;
    ~PointPrep() { freeWeld(weld); }
};

// Readies p for group g and says in n how its corners are numbered.
void startGroupPoints(PointPrep& p, const OutputOptions& o, const Group& g, Numbering& n);

// Prepares points begin to end - 1 of g; a new welded point takes the
// number dv, which then moves on. The points zeroed are counted in c.
// False when the weld table cannot grow.
bool preparePoints(PointPrep& p, const OutputOptions& o, const Group& g, int32_t begin, int32_t end, int32_t& dv,
                   CleanCounts& c);

// Prepares texture vertices begin to end - 1 of g, counting those zeroed.
void prepareTextureVertices(PointPrep& p, const OutputOptions& o, const Group& g, int32_t begin, int32_t end,
                            CleanCounts& c);

}  // namespace quarlen
