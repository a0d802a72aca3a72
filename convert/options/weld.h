// The points of a whole file by their coordinates' bits, for --weld: an
// open-addressing table that grows with the distinct points it holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarlen {

struct WeldEntry {
    uint32_t x, y, z;  // the point's coordinate bits, as written
    int32_t number;  // the point's output number; 0 marks an empty slot
};

struct WeldTable {
    WeldEntry* slots = nullptr;  // open addressing, capacity slots
    size_t capacity = 0;  // a power of two, or 0
    size_t count = 0;     // slots in use
};

// The output number of the point with these coordinate bits. A point not
// seen before is added with `next`, and `added` is set. Returns 0 when the
// table cannot grow (no memory).
int32_t weldPoint(WeldTable& w, uint32_t x, uint32_t y, uint32_t z, int32_t next, bool& added);

// Grows the table, if need be, so that `more` points can be added without
// growing it again. False when memory runs out.
bool reserveWeld(WeldTable& w, size_t more);

// Asks the processor to fetch the slot where the point's search starts:
// a table of many points is far larger than the caches, and lookups that
// wait for memory one after another are what welding spends its time on.
void prefetchWeld(const WeldTable& w, uint32_t x, uint32_t y, uint32_t z);

void freeWeld(WeldTable& w);

}  // namespace quarlen
