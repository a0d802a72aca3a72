#include "convert/weld.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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

// At most half full, so that probes stay short.
bool roomFor(const WeldTable& w, size_t more) { return w.count + more <= w.capacity / 2; }

// Zeroed memory for a table of `bytes`. A large table is looked up at
// random, so on Linux it asks for huge pages where the system gives them on
// request: one page fault and one TLB entry cover 2 MB instead of 4 KB.
WeldEntry* newSlots(size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr size_t huge = size_t(2) << 20;
    if (bytes >= huge) {
        void* p = nullptr;
        if (posix_memalign(&p, huge, bytes) != 0) return nullptr;
        madvise(p, bytes, MADV_HUGEPAGE);  // a hint: without it the pages are small
        std::memset(p, 0, bytes);
        return static_cast<WeldEntry*>(p);
    }
#endif
    return static_cast<WeldEntry*>(std::calloc(1, bytes));
}

// Makes the table at least `capacity` slots (or the first one); false
// when memory runs out.
bool grow(WeldTable& w, size_t capacity) {
    capacity = std::max<size_t>(capacity, 1024);
    if (capacity > SIZE_MAX / sizeof(WeldEntry)) return false;
    WeldEntry* slots = newSlots(capacity * sizeof(WeldEntry));
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

bool reserveWeld(WeldTable& w, size_t more) {
    if (roomFor(w, more)) return true;
    size_t capacity = w.capacity ? w.capacity : 1024;
    while (capacity / 2 < w.count + more) {
        if (capacity > SIZE_MAX / 2) return false;
        capacity *= 2;
    }
    return grow(w, capacity);
}

void prefetchWeld(const WeldTable& w, uint32_t x, uint32_t y, uint32_t z) {
#if defined(__GNUC__) || defined(__clang__)
    if (w.capacity) __builtin_prefetch(w.slots + slotOf(x, y, z, w.capacity - 1));
#else
    (void)w, (void)x, (void)y, (void)z;
#endif
}

int32_t weldPoint(WeldTable& w, uint32_t x, uint32_t y, uint32_t z, int32_t next, bool& added) {
    added = false;
    if (!roomFor(w, 1) && !reserveWeld(w, 1)) return 0;
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
