// Numbering a primitive's vertices: one vertex per distinct (point, texture
// vertex) pair of its corners, in order of first use. A flat open-addressing
// hash table (a power of two of slots, at most half of them used, linear
// probing) holds each pair's vertex number, and the pair is found again in
// the list of vertices, as meshoptimizer's vertex remap does; a slot also
// holds the pair's upper hash bits, so that the list is read only when they
// match. A slot is 32 bits (8 of the hash, the vertex in 24) for fewer than
// 2^24 - 1 corners, else 64 (32 and 32): half the memory for all but huge
// primitives. The slots of the corners coming next are fetched ahead, since
// a large table misses the caches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarlen {

// A corner as the pair of its point and texture vertex (-1: none), in one
// number. point must be >= 0.
inline uint64_t cornerKey(int32_t point, int32_t texture) {
    return uint64_t(uint32_t(point)) << 32 | uint32_t(texture);
}
inline int32_t keyPoint(uint64_t key) { return int32_t(uint32_t(key >> 32)); }
inline int32_t keyTexture(uint64_t key) { return int32_t(uint32_t(key)); }

class VertexTable {
public:
    // Empties the table for a primitive of at most `corners` corners, fewer
    // than 2^31. Its memory is kept for the next primitive. wideSlots takes
    // 64-bit slots however few the corners.
    void reset(size_t corners, bool wideSlots = false);

    // Appends to vertexOf the vertex number of each of the n corners, and to
    // vertices each pair not in it yet: vertices holds the pairs numbered
    // since reset, in order of first use.
    void number(const uint64_t* corners, size_t n, std::vector<uint32_t>& vertexOf, std::vector<uint64_t>& vertices);

private:
    // Slots as the upper bits of the pair's hash above its vertex number
    // plus 1; 0: empty. One of the two is in use, the other keeps its memory.
    std::vector<uint32_t> narrow_;  // slots of 32 bits, for up to 2^16 vertices or so
    std::vector<uint64_t> wide_;    // slots of 64 bits, for more
    bool useWide_ = false;          // which is in use
};

}  // namespace quarlen
