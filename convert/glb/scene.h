// What a GLB file describes, kept while its binary data goes to the spill:
// one node per group, the primitives of its mesh with the place of their
// data in the binary chunk, and the materials. The JSON part is written
// from it once the input has been read.
#pragma once

#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

namespace quarlen {

// 65535 is the 16-bit restart value, which glTF's indices must not hold:
// a primitive of more vertices than that takes 32-bit indices.
inline bool wideIndices(uint32_t vertices) { return vertices > 65535; }

struct GlbPrimitive {
    int32_t material = -1;  // index into the materials, -1: none (glTF's default material)
    bool textured = false;  // has TEXCOORD_0
    uint32_t vertices = 0;  // its vertices
    uint32_t indices = 0;   // its triangles' corners
    uint64_t at = 0;        // offset of its data in the binary chunk, a multiple of 4
    float min[3] = {}, max[3] = {};  // bounds of its positions
};

// Where a primitive's data lies in the binary chunk: its positions (three
// floats a vertex), then its texture coordinates (two floats a vertex) when
// it has them, then its indices, 16-bit ones padded with a 0 to a multiple
// of 4 bytes so that the next primitive's floats stay aligned.
struct GlbLayout {
    uint64_t positions, texcoords, indices;  // offsets
    uint64_t positionBytes, texcoordBytes, indexBytes;  // lengths; indexBytes without the padding
    uint64_t end;  // where the next primitive's data begins
};

inline GlbLayout layoutOf(const GlbPrimitive& p) {
    assert(p.at % 4 == 0 && p.indices % 3 == 0);
    GlbLayout l;
    l.positions = p.at;
    l.positionBytes = 12 * uint64_t(p.vertices);
    l.texcoords = l.positions + l.positionBytes;
    l.texcoordBytes = p.textured ? 8 * uint64_t(p.vertices) : 0;
    l.indices = l.texcoords + l.texcoordBytes;
    l.indexBytes = (wideIndices(p.vertices) ? 4 : 2) * uint64_t(p.indices);
    l.end = l.indices + (l.indexBytes + 3) / 4 * 4;
    return l;
}

struct GlbNode {
    std::string name;             // valid UTF-8
    size_t first = 0, count = 0;  // its primitives; none: a node without a mesh
};

struct GlbMaterial {
    std::string name;  // valid UTF-8
    size_t colour;     // the index materialColour takes
};

struct GlbScene {
    std::vector<GlbNode> nodes;            // one for each group, in order
    std::vector<GlbPrimitive> primitives;  // each node's in turn, their data in the same order
    std::vector<GlbMaterial> materials;    // in order of first use
    uint64_t binarySize = 0;  // bytes of the binary chunk (0: none)
};

}  // namespace quarlen
