#include "convert/weld.h"

#include <cstdlib>

namespace {

uint32_t mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    return h ^ (h >> 16);
}

size_t slotOf(uint32_t x, uint32_t y, uint32_t z, size_t mask) {
    return mix(mix(mix(x) + y) + z) & mask;
}

// Doubles the table (or makes the first one); false when memory runs out.
bool grow(WeldTable& w) {
    const size_t capacity = w.capacity ? 2 * w.capacity : 1024;
    if (capacity > SIZE_MAX / sizeof(WeldEntry)) return false;
    auto* slots = static_cast<WeldEntry*>(std::calloc(capacity, sizeof(WeldEntry)));
    if (!slots) return false;
    for (size_t i = 0; i < w.capacity; ++i) {
        const WeldEntry& e = w.slots[i];
        if (e.number == 0) continue;
        size_t at = slotOf(e.x, e.y, e.z, capacity - 1);
        while (slots[at].number != 0) at = (at + 1) & (capacity - 1);
        slots[at] = e;
    }
    std::free(w.slots);
    w.slots = slots;
    w.capacity = capacity;
    return true;
}

}  // namespace

int32_t weldPoint(WeldTable& w, uint32_t x, uint32_t y, uint32_t z, int32_t next, bool& added) {
    added = false;
    // At most half full, so that probes stay short.
    if (2 * (w.count + 1) > w.capacity && !grow(w)) return 0;
    const size_t mask = w.capacity - 1;
    size_t at = slotOf(x, y, z, mask);
    for (;; at = (at + 1) & mask) {
        WeldEntry& e = w.slots[at];
        if (e.number == 0) break;
        if (e.x == x && e.y == y && e.z == z) return e.number;
    }
    if (next == 0) return 0;  // numbers wrapped: more points than a 32-bit number can say
    w.slots[at] = WeldEntry{x, y, z, next};
    ++w.count;
    added = true;
    return next;
}

void freeWeld(WeldTable& w) {
    std::free(w.slots);
    w = WeldTable{};
}
