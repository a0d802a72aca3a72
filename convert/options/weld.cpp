#include "convert/options/weld.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#define QUARLEN_MAP_TABLES 1
#endif

namespace quarlen {

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

void prefetch(const WeldEntry* e) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(e, 1);
#else
    (void)e;
#endif
}

// At most half full, so that probes stay short.
bool roomFor(const WeldTable& w, size_t more) { return w.count + more <= w.capacity / 2; }

// Zeroed memory for a table of `bytes`. A large table comes straight from
// the system, whose fresh pages are zero already, and is looked up at
// random: on Linux it asks for huge pages where the system gives them on
// request, so that one page fault and one TLB entry cover 2 MB, not 4 KB.
#ifdef QUARLEN_MAP_TABLES
constexpr size_t mapped_table_min = size_t(2) << 20;
#endif

WeldEntry* newSlots(size_t bytes) {
#ifdef QUARLEN_MAP_TABLES
    if (bytes >= mapped_table_min) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
        madvise(p, bytes, MADV_HUGEPAGE);  // a hint: without it the pages are small
#endif
        return static_cast<WeldEntry*>(p);
    }
#endif
    return static_cast<WeldEntry*>(std::calloc(1, bytes));
}

void freeSlots(WeldEntry* slots, size_t capacity) {
#ifdef QUARLEN_MAP_TABLES
    if (capacity * sizeof(WeldEntry) >= mapped_table_min) {
        munmap(slots, capacity * sizeof(WeldEntry));
        return;
    }
#endif
    (void)capacity;
    std::free(slots);
}

// Makes the table at least `capacity` slots (or the first one); false
// when memory runs out.
bool grow(WeldTable& w, size_t capacity) {
    capacity = std::max<size_t>(capacity, 1024);
    if (capacity > SIZE_MAX / sizeof(WeldEntry)) return false;
    WeldEntry* slots = newSlots(capacity * sizeof(WeldEntry));
    if (!slots) return false;
    // The entries move in batches: each one's new slot is asked of memory
    // first, then they are placed while the slots arrive.
    constexpr size_t batch = 16;
    size_t found[batch];
    for (size_t i = 0; i < w.capacity; i += batch) {
        const size_t end = std::min(w.capacity, i + batch);
        for (size_t k = i; k < end; ++k) {
            const WeldEntry& e = w.slots[k];
            found[k - i] = slotOf(e.x, e.y, e.z, capacity - 1);
            prefetch(slots + found[k - i]);
        }
        for (size_t k = i; k < end; ++k) {
            const WeldEntry& e = w.slots[k];
            if (e.number == 0) continue;
            size_t at = found[k - i];
            while (slots[at].number != 0) at = (at + 1) & (capacity - 1);
            slots[at] = e;
        }
    }
    freeSlots(w.slots, w.capacity);
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
    if (w.capacity) prefetch(w.slots + slotOf(x, y, z, w.capacity - 1));
}

int32_t weldPoint(WeldTable& w, uint32_t x, uint32_t y, uint32_t z, int32_t next, bool& added) {
    added = false;
    if (!roomFor(w, 1) && !reserveWeld(w, 1)) return 0;
    assert(w.capacity && (w.capacity & (w.capacity - 1)) == 0 && w.count < w.capacity / 2);
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
    if (w.slots) freeSlots(w.slots, w.capacity);
    w = WeldTable{};
}

}  // namespace quarlen
