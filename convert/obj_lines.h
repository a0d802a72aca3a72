// The lines of a group body, written through a sink that gives room for the
// next line: the run's Output, or a chunk's own buffer on a formatting
// thread. The same calls make the same bytes either way.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "convert/format.h"
#include "convert/obj_writer.h"
#include "convert/rsr.h"

// The most bytes one unit of a body takes, stores past its text included: a
// point or texture-vertex line (at most 48), a facet's material line with
// its "f" (90 for a name of 39 LFs), or one corner with its texture number (24).
inline constexpr size_t unit_text_max = 96;

// Facet lines up to this many corners are written in one go when every
// corner is in range.
inline constexpr uint32_t quick_corners = 32;

struct OutputSink {
    Output& out;
    char* room(size_t n) { return ::room(out, n); }
    void done(char* p) { out.len = static_cast<size_t>(p - out.buf); }
};

// A buffer made large enough for its chunk before the chunk is written.
struct BufferSink {
    char* p;
    char* room(size_t) { return p; }
    void done(char* q) { p = q; }
};

inline char* putText(char* p, const char* s, size_t n) {
    std::memcpy(p, s, n);
    return p + n;
}

inline char* putEnd(char* p) {
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

// Copies a name up to its NUL or its first `max` bytes, turning each LF
// into CR LF.
inline char* putName(char* p, const char* s, size_t max) {
    for (size_t i = 0; i < max && s[i]; ++i) {
        if (s[i] == '\n') *p++ = '\r';
        *p++ = s[i];
    }
    return p;
}

// Point lines "v x y z" (three) or texture-vertex lines "vt u v" for the
// items begin to end - 1 of a stored float array.
template <class Sink>
void putFloatLines(Sink& out, const unsigned char* a, int32_t begin, int32_t end, bool three) {
    const size_t stride = three ? 12 : 8;
    for (int32_t i = begin; i < end; ++i) {
        const unsigned char* r = a + size_t(i) * stride;
        char* p = out.room(unit_text_max);
        if (three) {
            p = putText(p, "v ", 2);
        } else {
            p = putText(p, "vt ", 3);
        }
        p = formatFloat(p, Float(be32(r)));
        *p++ = ' ';
        p = formatFloat(p, Float(be32(r + 4)));
        if (three) {
            *p++ = ' ';
            p = formatFloat(p, Float(be32(r + 8)));
        }
        out.done(putEnd(p));
    }
}

// How many corners the walk of a facet takes: position s runs from c1 while
// s < c1 + nc, the bound wrapping around as a signed 32-bit sum.
inline uint32_t cornerWalk(int32_t c1, int32_t nc) {
    const int32_t end = wrapAdd(c1, nc);
    return end > c1 ? static_cast<uint32_t>(int64_t(end) - c1) : 0;
}

// Writes facet j, or only its corners from to to - 1 when its line is
// written in pieces: the material step and "f" come with corner 0, the line end
// after the last corner of the walk. cm is the material of the last
// "usemtl" line; nqMax takes the facet's corner count. False when a corner
// lies outside the vertex or texture index list, after writing the corners
// before it.
template <class Sink>
bool putFacet(Sink& out, const Group& g, const Totals& t, int32_t j, uint32_t from, uint32_t to,
              int32_t& cm, int32_t& nqMax) {
    const unsigned char* rec = g.fac + size_t(j) * face_size;
    const int32_t c1 = faceC1(rec), nc = faceNc(rec);
    if (from == 0) {
        const int32_t mat = faceMat(rec);
        char* p = out.room(unit_text_max);
        if (mat != cm && mat >= 0 && mat < g.nm) {
            p = putText(p, "usemtl ", 7);
            p = putName(p, reinterpret_cast<const char*>(g.mats) + size_t(mat) * material_size,
                        material_size - 1);
            p = putEnd(p);
            cm = mat;
        }
        *p++ = 'f';
        out.done(p);
        if (nc > nqMax) nqMax = nc;
    }
    int32_t c12 = -1, nc2 = -1;
    if (j < g.nf2) {
        const unsigned char* rec2 = g.fac2 + size_t(j) * face2_size;
        c12 = faceC1(rec2);
        nc2 = faceNc(rec2);
    }
    const int32_t end2 = wrapAdd(c12, nc2);
    const uint32_t walk = cornerWalk(c1, nc);
    const uint32_t stop = to < walk ? to : walk;
    if (stop > from && stop - from <= quick_corners) {
        // The usual facet: every corner in both lists, so one room request
        // and no checks per corner. Texture positions must not wrap.
        const int64_t s0 = int64_t(c1) + from, k0 = int64_t(c12) + from;
        const int64_t n = stop - from;
        const int64_t textured = c12 < 0 ? 0 : std::clamp<int64_t>(int64_t(end2) - k0, 0, n);
        if (s0 >= 0 && s0 + n <= g.nq && (textured == 0 || k0 + textured <= g.nq2) &&
            k0 + n <= INT32_MAX) {
            char* p = out.room(size_t(n) * (2 * int_text_max + 2) + 2);
            for (int64_t i = 0; i < textured; ++i) {
                *p++ = ' ';
                p = formatInt(p, wrapAdd(intAt(g.pf, size_t(s0 + i)), t.dv));
                *p++ = '/';
                p = formatInt(p, wrapAdd(intAt(g.pt, size_t(k0 + i)), t.dt));
            }
            for (int64_t i = textured; i < n; ++i) {
                *p++ = ' ';
                p = formatInt(p, wrapAdd(intAt(g.pf, size_t(s0 + i)), t.dv));
            }
            if (stop == walk) p = putEnd(p);
            out.done(p);
            return true;
        }
    }
    for (uint32_t i = from; i < stop; ++i) {
        const auto s = static_cast<int32_t>(static_cast<uint32_t>(c1) + i);
        if (s < 0 || s >= g.nq) return false;
        char* p = out.room(unit_text_max);
        *p++ = ' ';
        p = formatInt(p, wrapAdd(intAt(g.pf, size_t(s)), t.dv));
        const auto k = static_cast<int32_t>(static_cast<uint32_t>(c12) + i);
        if (c12 >= 0 && k < end2) {
            if (k < 0 || k >= g.nq2) {
                out.done(p);
                return false;
            }
            *p++ = '/';
            p = formatInt(p, wrapAdd(intAt(g.pt, size_t(k)), t.dt));
        }
        out.done(p);
    }
    if (stop == walk) out.done(putEnd(out.room(2)));
    return true;
}
