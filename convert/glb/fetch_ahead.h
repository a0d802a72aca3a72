// Reading a large table at random misses the caches: loops that know the
// places they will read a few steps on ask for them ahead.
#pragma once

#include <cstddef>

namespace quarlen {

inline constexpr size_t fetch_distance = 48;  // steps between a fetch and its use

// Asks for the memory at p to be brought into the cache; only a hint, so p
// may be any address.
inline void fetchAhead(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

}  // namespace quarlen
