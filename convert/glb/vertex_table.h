// The vertices of a group's primitives, numbered as their triangles come:
// within a primitive, one vertex per distinct (point, texture vertex) pair,
// in order of first use. A hash table of (primitive, point, texture vertex)
// finds a pair that has its number already.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/format/rsr.h"

namespace quarlen {

// One primitive of a group as its triangles are sorted in; kept from group
// to group so that the memory is reused.
struct PrimitiveBuild {
    int32_t material = -1;  // index into the file's materials, -1: none
    bool textured = false;  // its vertices have texture coordinates
    std::vector<int32_t> point, texture;  // each vertex's point and texture vertex (-1: none)
    std::vector<uint32_t> index;          // three vertices per triangle

    void reset(int32_t material, bool textured);
};

class VertexTable {
public:
    // Empties the table for group g: twice as many slots as the corners its
    // facets state, but no more than its index list could give twice over.
    // It grows when more vertices turn up, so that a usual group needs no
    // growth and a file's large counts cost no memory until they are used.
    void reset(const Group& g);

    // Appends to b's index list the vertex of (point, texture) in b, the
    // group's primitive number `primitive`, first adding it to b's vertices
    // when the pair is new to b. texture is -1 exactly when b is not
    // textured.
    void addCorner(int32_t primitive, PrimitiveBuild& b, int32_t point, int32_t texture);

private:
    struct Slot {
        int32_t primitive = -1;  // -1: empty
        int32_t point = 0, texture = 0;
        uint32_t vertex = 0;
    };
    size_t slotOf(int32_t primitive, int32_t point, int32_t texture) const;
    void grow();

    std::vector<Slot> slots_;  // a power of 2, at most half of them used
    size_t used_ = 0;
};

}  // namespace quarlen
