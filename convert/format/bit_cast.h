// The bits of a value as another type of the same size, for C++ libraries
// that lack std::bit_cast (Emscripten's libc++ 14).
#pragma once

#include <bit>

namespace quarlen {

template <class To, class From>
constexpr To bitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From), "a bit cast keeps the size");
#ifdef __cpp_lib_bit_cast
    return std::bit_cast<To>(from);
#else
    return __builtin_bit_cast(To, from);
#endif
}

}  // namespace quarlen
