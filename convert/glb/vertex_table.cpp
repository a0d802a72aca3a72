#include "convert/glb/vertex_table.h"

#include <algorithm>
#include <cassert>

#include "convert/glb/fetch_ahead.h"

namespace quarlen {

namespace {

size_t hashOf(uint64_t key) {
    key ^= key >> 29;
    key *= 0xBF58476D1CE4E5B9u;
    return size_t(key ^ key >> 32);
}

}  // namespace

void VertexTable::number(const std::vector<uint64_t>& corners, std::vector<uint32_t>& vertexOf,
                         std::vector<uint64_t>& vertices) {
    assert(corners.size() < (size_t(1) << 31));
    size_t want = 64;
    while (want < 2 * corners.size()) want *= 2;
    slots_.assign(want, empty);
    const size_t mask = want - 1;
    vertices.clear();
    vertexOf.resize(corners.size());
    for (size_t c = 0; c < corners.size(); ++c) {
        if (c + fetch_distance < corners.size()) fetchAhead(&slots_[hashOf(corners[c + fetch_distance]) & mask]);
        const uint64_t key = corners[c];
        size_t at = hashOf(key) & mask;
        while (slots_[at] != empty && vertices[slots_[at]] != key) at = (at + 1) & mask;
        if (slots_[at] == empty) {
            slots_[at] = uint32_t(vertices.size());
            vertices.push_back(key);
        }
        vertexOf[c] = slots_[at];
    }
    assert(2 * vertices.size() <= slots_.size() && "at most half the slots used");
}

}  // namespace quarlen
