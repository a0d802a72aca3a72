// A facet's corners as the OBJ writer's options, --info and the GLB writer
// take them: point and texture numbers as the output numbers them, and the fan
// that --triangulate and the GLB make of a facet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/format/rsr.h"

namespace quarlen {

// How the corners of one group are numbered in the output.
struct Numbering {
    const int32_t* map = nullptr;  // welded: the output number of each point
    int32_t vbase = 1;             // otherwise point i gets vbase + i
    int32_t tbase = 1;             // texture vertex i gets tbase + i
    const unsigned char* badPoint = nullptr;  // points with a non-finite coordinate
    const unsigned char* badTex = nullptr;    // texture vertices likewise
};

inline int32_t pointNumber(const Group& g, const Numbering& n, int32_t p) {
    return n.map && inList(p, 1, g.np) ? n.map[p] : wrapAdd(n.vbase, p);
}

// One facet's corners as they are written: v[i] is a point number and, for
// i < t.size(), t[i] the texture number that goes with it.
struct Corners {
    std::vector<int32_t> v;  // point numbers
    std::vector<int32_t> t;  // texture numbers of the first t.size() corners
};

// A facet of n > 3 corners as triangles fanned from its first corner:
// triangle i, for i from 0 to n - 3, has corners 0, i + 1 and i + 2.
inline void fanTriangle(size_t i, size_t at[3]) {
    at[0] = 0;
    at[1] = i + 1;
    at[2] = i + 2;
}

}  // namespace quarlen
