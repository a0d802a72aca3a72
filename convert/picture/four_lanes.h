// Four floats or four 32-bit integers worked on at once, for the raster's
// tests of 8 samples or 8 tiles in a row: SSE2 where the compiler has it,
// plain loops elsewhere (the WebAssembly core), giving the same bits. Each
// float operation rounds as the scalar one written beside it.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarlen {

// std::min(a, b) and std::max(a, b) of doubles (b < a ? b : a, a < b ?
// b : a) without a branch, which compilers make of them, and which a
// coin's toss of an order misguesses half the time.
#if defined(__SSE2__)
inline double lesser(double a, double b) { return _mm_cvtsd_f64(_mm_min_sd(_mm_set_sd(b), _mm_set_sd(a))); }
inline double greater(double a, double b) { return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(b), _mm_set_sd(a))); }
#else
inline double lesser(double a, double b) { return b < a ? b : a; }
inline double greater(double a, double b) { return a < b ? b : a; }
#endif

#if defined(__SSE2__)

struct Floats4 {
    __m128 v;  // the four lanes
};
struct Ints4 {
    __m128i v;  // the four lanes
};

inline Floats4 load4(const float* p) { return {_mm_loadu_ps(p)}; }
inline Ints4 load4(const int32_t* p) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))}; }
inline void store4(float* p, Floats4 a) { _mm_storeu_ps(p, a.v); }
inline Floats4 splat4(float a) { return {_mm_set1_ps(a)}; }
inline Ints4 splat4(int32_t a) { return {_mm_set1_epi32(a)}; }

inline Floats4 operator+(Floats4 a, Floats4 b) { return {_mm_add_ps(a.v, b.v)}; }
// a > b ? a : b and a < b ? a : b, lane by lane, as maxps and minps are.
inline Floats4 maxOf(Floats4 a, Floats4 b) { return {_mm_max_ps(a.v, b.v)}; }
inline Floats4 minOf(Floats4 a, Floats4 b) { return {_mm_min_ps(a.v, b.v)}; }
// Wraps around.
inline Ints4 operator+(Ints4 a, Ints4 b) { return {_mm_add_epi32(a.v, b.v)}; }
inline Ints4 operator|(Ints4 a, Ints4 b) { return {_mm_or_si128(a.v, b.v)}; }

// Bit k of the result for lane k: a < b; the lane's sign bit clear; both.
inline unsigned lessBits(Floats4 a, Floats4 b) { return unsigned(_mm_movemask_ps(_mm_cmplt_ps(a.v, b.v))); }
inline unsigned notSignBits(Ints4 a) { return ~unsigned(_mm_movemask_ps(_mm_castsi128_ps(a.v))) & 15u; }
inline unsigned lessAndNotSignBits(Floats4 a, Floats4 b, Ints4 c) {
    return unsigned(_mm_movemask_ps(_mm_andnot_ps(_mm_castsi128_ps(c.v), _mm_cmplt_ps(a.v, b.v))));
}

// Lane k of p set to a's where bit k of `lanes` is set.
inline void storeWhere(float* p, unsigned lanes, Floats4 a) {
    const __m128i bit = _mm_setr_epi32(1, 2, 4, 8);
    const __m128 set = _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(int(lanes)), bit), bit));
    _mm_storeu_ps(p, _mm_or_ps(_mm_and_ps(set, a.v), _mm_andnot_ps(set, _mm_loadu_ps(p))));
}
inline void storeWhere(uint32_t* p, unsigned lanes, uint32_t a) {
    const __m128i bit = _mm_setr_epi32(1, 2, 4, 8);
    const __m128i set = _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(int(lanes)), bit), bit);
    __m128i* at = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(set, _mm_set1_epi32(int(a))), _mm_andnot_si128(set, _mm_loadu_si128(at))));
}

#else

struct Floats4 {
    float v[4];  // the four lanes
};
struct Ints4 {
    int32_t v[4];  // the four lanes
};

inline Floats4 load4(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
inline Ints4 load4(const int32_t* p) { return {{p[0], p[1], p[2], p[3]}}; }
inline void store4(float* p, Floats4 a) {
    for (int k = 0; k < 4; ++k) p[k] = a.v[k];
}
inline Floats4 splat4(float a) { return {{a, a, a, a}}; }
inline Ints4 splat4(int32_t a) { return {{a, a, a, a}}; }

inline Floats4 operator+(Floats4 a, Floats4 b) {
    for (int k = 0; k < 4; ++k) a.v[k] += b.v[k];
    return a;
}
inline Floats4 maxOf(Floats4 a, Floats4 b) {
    for (int k = 0; k < 4; ++k) a.v[k] = a.v[k] > b.v[k] ? a.v[k] : b.v[k];
    return a;
}
inline Floats4 minOf(Floats4 a, Floats4 b) {
    for (int k = 0; k < 4; ++k) a.v[k] = a.v[k] < b.v[k] ? a.v[k] : b.v[k];
    return a;
}
inline Ints4 operator+(Ints4 a, Ints4 b) {
    for (int k = 0; k < 4; ++k) a.v[k] = int32_t(uint32_t(a.v[k]) + uint32_t(b.v[k]));
    return a;
}
inline Ints4 operator|(Ints4 a, Ints4 b) {
    for (int k = 0; k < 4; ++k) a.v[k] |= b.v[k];
    return a;
}

inline unsigned lessBits(Floats4 a, Floats4 b) {
    unsigned bits = 0;
    for (int k = 0; k < 4; ++k) bits |= unsigned(a.v[k] < b.v[k]) << k;
    return bits;
}
inline unsigned notSignBits(Ints4 a) {
    unsigned bits = 0;
    for (int k = 0; k < 4; ++k) bits |= (uint32_t(~a.v[k]) >> 31) << k;
    return bits;
}
inline unsigned lessAndNotSignBits(Floats4 a, Floats4 b, Ints4 c) { return lessBits(a, b) & notSignBits(c); }

inline void storeWhere(float* p, unsigned lanes, Floats4 a) {
    for (int k = 0; k < 4; ++k)
        if (lanes >> k & 1) p[k] = a.v[k];
}
inline void storeWhere(uint32_t* p, unsigned lanes, uint32_t a) {
    for (int k = 0; k < 4; ++k)
        if (lanes >> k & 1) p[k] = a;
}

#endif

}  // namespace quarlen
