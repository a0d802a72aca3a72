#include "convert/glb/vertex_table.h"

#include <algorithm>
#include <cassert>

namespace quarlen {

void PrimitiveBuild::reset(int32_t m, bool t) {
    material = m;
    textured = t;
    point.clear();
    texture.clear();
    index.clear();
}

namespace {

uint64_t hashOf(int32_t primitive, int32_t point, int32_t texture) {
    const uint64_t pt = uint64_t(uint32_t(point)) << 32 | uint32_t(texture);
    return pt * 0x9E3779B97F4A7C15u ^ uint64_t(uint32_t(primitive)) * 0xC2B2AE3D27D4EB4Fu;
}

}  // namespace

size_t VertexTable::slotOf(int32_t primitive, int32_t point, int32_t texture) const {
    const size_t mask = slots_.size() - 1;
    size_t at = size_t(hashOf(primitive, point, texture) >> 32) & mask;
    while (slots_[at].primitive >= 0 &&
           (slots_[at].primitive != primitive || slots_[at].point != point || slots_[at].texture != texture))
        at = (at + 1) & mask;
    return at;
}

void VertexTable::reset(const Group& g) {
    uint64_t corners = 0;
    for (int32_t j = 0; j < g.nf; ++j) corners += uint64_t(std::max(faceAt(g, j).nc, 0));
    corners = std::min(corners, 2 * uint64_t(g.nq));
    size_t want = 1024;
    while (want < 2 * corners) want *= 2;
    if (slots_.size() == want)
        std::fill(slots_.begin(), slots_.end(), Slot{});
    else
        std::vector<Slot>(want).swap(slots_);
    used_ = 0;
}

void VertexTable::grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& s : old)
        if (s.primitive >= 0) slots_[slotOf(s.primitive, s.point, s.texture)] = s;
}

void VertexTable::addCorner(int32_t primitive, PrimitiveBuild& b, int32_t point, int32_t texture) {
    assert(primitive >= 0 && (texture == -1) == !b.textured);
    size_t at = slotOf(primitive, point, texture);
    if (slots_[at].primitive < 0) {
        if (2 * (used_ + 1) > slots_.size()) {
            grow();
            at = slotOf(primitive, point, texture);
        }
        slots_[at] = {primitive, point, texture, static_cast<uint32_t>(b.point.size())};
        b.point.push_back(point);
        b.texture.push_back(texture);
        ++used_;
    }
    assert(slots_[at].vertex < b.point.size() && b.point[slots_[at].vertex] == point &&
           b.texture[slots_[at].vertex] == texture && "a pair keeps its vertex");
    assert((slots_.size() & (slots_.size() - 1)) == 0 && 2 * used_ <= slots_.size());
    b.index.push_back(slots_[at].vertex);
}

}  // namespace quarlen
