#include "convert/glb/vertex_table.h"

#include <algorithm>
#include <cassert>

#include "convert/glb/fetch_ahead.h"

namespace quarlen {

namespace {

uint64_t hashOf(uint64_t key) {
    key ^= key >> 29;
    key *= 0xBF58476D1CE4E5B9u;
    return key ^ key >> 32;
}

}  // namespace

void VertexTable::reset(size_t corners) {
    assert(corners < (size_t(1) << 31));
    size_t want = 64;
    while (want < 2 * corners) want *= 2;
    slots_.assign(want, Slot{});
}

void VertexTable::number(const uint64_t* corners, size_t n, std::vector<uint32_t>& vertexOf,
                         std::vector<uint64_t>& vertices) {
    const size_t mask = slots_.size() - 1;
    assert(slots_.size() >= 64 && (slots_.size() & mask) == 0);
    for (size_t c = 0; c < n; ++c) {
        if (c + fetch_distance < n) fetchAhead(&slots_[size_t(hashOf(corners[c + fetch_distance])) & mask]);
        const uint64_t key = corners[c], hash = hashOf(key);
        const uint32_t check = uint32_t(hash >> 32);
        size_t at = size_t(hash) & mask;
        while (slots_[at].vertex != none && (slots_[at].check != check || vertices[slots_[at].vertex] != key))
            at = (at + 1) & mask;
        Slot& s = slots_[at];
        if (s.vertex == none) {
            s = {check, uint32_t(vertices.size())};
            vertices.push_back(key);
        }
        vertexOf.push_back(s.vertex);
    }
    assert(2 * vertices.size() <= slots_.size() && "more corners than reset was told");
}

}  // namespace quarlen
