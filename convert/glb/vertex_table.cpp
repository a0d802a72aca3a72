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

// Numbers corners as VertexTable::number says, in slots of Slot: the upper
// checkBits of the hash, then the vertex number plus 1.
template <class Slot, int checkBits>
void numberIn(std::vector<Slot>& slots, const uint64_t* corners, size_t n, std::vector<uint32_t>& vertexOf,
              std::vector<uint64_t>& vertices) {
    constexpr int vertexBits = 8 * int(sizeof(Slot)) - checkBits;
    constexpr Slot vertexMask = (Slot(1) << vertexBits) - 1;
    const size_t mask = slots.size() - 1;
    assert(slots.size() >= 64 && (slots.size() & mask) == 0);
    for (size_t c = 0; c < n; ++c) {
        if (c + fetch_distance < n) fetchAhead(&slots[size_t(hashOf(corners[c + fetch_distance])) & mask]);
        const uint64_t key = corners[c], hash = hashOf(key);
        const Slot check = Slot(hash >> (64 - checkBits)) << vertexBits;
        size_t at = size_t(hash) & mask;
        while (slots[at] != 0 && ((slots[at] & ~vertexMask) != check || vertices[size_t((slots[at] & vertexMask) - 1)] != key))
            at = (at + 1) & mask;
        if (slots[at] == 0) {
            vertices.push_back(key);
            slots[at] = check | Slot(vertices.size());
        }
        vertexOf.push_back(uint32_t((slots[at] & vertexMask) - 1));
    }
    assert(2 * vertices.size() <= slots.size() && "more corners than reset was told");
}

}  // namespace

void VertexTable::reset(size_t corners, bool wideSlots) {
    assert(corners < (size_t(1) << 31));
    size_t want = 64;
    while (want < 2 * corners) want *= 2;
    useWide_ = wideSlots || corners >= (size_t(1) << 24) - 1;  // vertex numbers plus 1 up to 2^24 - 1 fit 24 bits
    if (useWide_)
        wide_.assign(want, 0);
    else
        narrow_.assign(want, 0);
}

void VertexTable::number(const uint64_t* corners, size_t n, std::vector<uint32_t>& vertexOf,
                         std::vector<uint64_t>& vertices) {
    if (useWide_)
        numberIn<uint64_t, 32>(wide_, corners, n, vertexOf, vertices);
    else
        numberIn<uint32_t, 8>(narrow_, corners, n, vertexOf, vertices);
}

}  // namespace quarlen
