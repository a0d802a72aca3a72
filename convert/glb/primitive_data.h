// One primitive of a group: its corners as the facets are sorted in, then
// its vertices numbered (vertex_table) and its data laid out as the binary
// chunk holds it (scene.h's layoutOf). The layout of one primitive needs
// nothing of another, so that primitives can be laid out on several
// threads and spilled in order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "convert/format/rsr.h"
#include "convert/glb/facet_sort.h"
#include "convert/glb/scene.h"
#include "convert/glb/spill.h"
#include "convert/glb/vertex_table.h"

namespace quarlen {

// A primitive as its facets are sorted in; kept from group to group so that
// the memory is reused.
struct PrimitiveBuild {
    int32_t material = -1;  // index into the file's materials, -1: none
    bool textured = false;  // its corners have texture vertices
    std::vector<FacetPiece> pieces;  // its facets, in order, as spans of the group's sorted runs
    uint32_t corners = 0;            // of its facets
    uint32_t triangles = 0;          // the facets fanned into triangles

    void reset(int32_t material, bool textured);
};

// A laid-out primitive, kept until it is spilled; one for each primitive in
// hand at once.
struct PrimitiveData {
    GlbPrimitive p;  // its description, at 0
    GlbBlock bytes;  // its data, layoutOf(p).end bytes
};

// The work space of numbering one primitive's vertices, needed only while
// it is laid out: one for each primitive being laid out at once, fewer
// than those in hand, and reused from primitive to primitive, since memory
// touched for the first time costs more than the work done in it.
struct NumberingSpace {
    VertexTable table;               // the (point, texture vertex) pairs numbered so far
    std::vector<uint32_t> vertexOf;  // the vertex of each corner
    std::vector<uint64_t> vertices;  // the pair of each vertex
    std::vector<uint64_t> keys;      // corners read from the group, on their way to the table
};

// Numbers b's vertices in space and lays out its data in d: the points
// multiplied by scale, the texture vertices with their origin moved to the
// top, the triangles' indices. b's pieces lie in runs; it has a triangle,
// each facet at least 3 corners, its texture vertices are -1 exactly when
// it is not textured, and its points and texture vertices are g's.
void layOutPrimitive(const Group& g, double scale, const PrimitiveBuild& b,
                     const std::vector<std::unique_ptr<SortedFacets>>& runs, NumberingSpace& space, PrimitiveData& d);

}  // namespace quarlen
