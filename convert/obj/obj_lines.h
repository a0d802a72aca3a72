// The OBJ line vocabulary every OBJ writer shares: text, line ends, names,
// the closing comments; and the lines of a traditional group body, written
// through a sink that gives room for the next line: the run's Output, or a
// chunk's own buffer on a formatting thread. The same calls make the same
// bytes either way.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "convert/obj/number_text.h"
#include "convert/format/output.h"
#include "convert/format/rsr.h"

namespace quarlen {

// The run totals: numbers given to the next group's first point and texture
// vertex, facet lines written in completed groups, most corners of any
// facet written.
struct Totals {
    int32_t dv = 1, dt = 1, Nf = 0, Nq = 0;
};

// The most bytes one unit of a body takes, stores past its text included: a
// point or texture-vertex line (at most 48), a facet's material line with
// its "f" (90 for a name of 39 LFs), or one corner with its texture number (24).
inline constexpr size_t unit_text_max = 96;

// Room for the closing comments, longest numbers included.
inline constexpr size_t closing_text_max = 160;

// Facet lines up to this many corners are written in one go when every
// corner is in range.
inline constexpr uint32_t quick_corners = 32;

inline char* putText(char* p, const char* s, size_t n) {
    std::memcpy(p, s, n);
    return p + n;
}

// The line end: CR LF, or LF alone when asked.
inline char* putEnd(char* p, bool lf = false) {
    if (lf) {
        *p = '\n';
        return p + 1;
    }
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

// Copies a name up to its NUL or its first `max` bytes, each LF in it
// becoming the line end. Needs room for twice the name.
inline char* putName(char* p, const char* s, size_t max, bool lf = false) {
    for (size_t i = 0; i < max && s[i]; ++i) {
        if (s[i] == '\n' && !lf) *p++ = '\r';
        *p++ = s[i];
    }
    return p;
}

// The three comment lines that close a finished file.
char* putClosing(char* p, const Totals& t, bool lf);

struct OutputSink {
    Output& out;
    char* room(size_t n) { return quarlen::room(out, n); }
    void done(char* p) { quarlen::done(out, p); }
};

// A buffer made large enough for its chunk before the chunk is written:
// room() only checks that it was.
struct BufferSink {
    char* p;
    const char* end;
    char* room([[maybe_unused]] size_t n) {
        assert(n <= size_t(end - p) && "a chunk's text is larger than chunkTextBytes says");
        return p;
    }
    void done(char* q) {
        assert(q >= p && q <= end);
        p = q;
    }
};

// Point lines "v x y z" (three) or texture-vertex lines "vt u v" for the
// items begin to end - 1 of a stored float array.
template <class Sink>
void putFloatLines(Sink& out, const unsigned char* a, int32_t begin, int32_t end, bool three) {
    const size_t stride = three ? 12 : 8;
    for (int32_t i = begin; i < end; ++i) {
        const unsigned char* r = a + size_t(i) * stride;
        char* p = out.room(unit_text_max);
        p = three ? putText(p, "v ", 2) : putText(p, "vt ", 3);
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

// Facet j's line, or the corners from to to - 1 of it when its line is
// written in pieces: the material step and "f" come with corner 0, the line
// end after the last corner of the walk.
struct FacetPiece {
    int32_t j;
    uint32_t from = 0, to = UINT32_MAX;
};

// What facet lines carry from one to the next: the material of the last
// "usemtl" line, and the most corners of any facet.
struct FacetState {
    int32_t cm = -1;
    int32_t nqMax;
};

// The material step and "f" of a facet.
template <class Sink>
void putFacetHead(Sink& out, const Group& g, const Face& f, FacetState& st) {
    char* p = out.room(unit_text_max);
    const int32_t cm = materialAfter(g, st.cm, f.mat);
    if (cm != st.cm) {
        p = putText(p, "usemtl ", 7);
        p = putEnd(putName(p, materialName(g, cm).s, material_size));
        st.cm = cm;
    }
    *p++ = 'f';
    out.done(p);
    if (f.nc > st.nqMax) st.nqMax = f.nc;
}

// The usual facet: every corner of from to stop - 1 in both lists, so one
// room request and no checks per corner; the line end after them when
// `end`. False, writing nothing, when a corner needs checking.
template <class Sink>
bool putCornersQuick(Sink& out, const Group& g, const Totals& t, const CornerWalk& w, uint32_t from, uint32_t stop,
                     bool end) {
    if (stop <= from || stop - from > quick_corners) return false;
    const int64_t s0 = int64_t(w.c1) + from, k0 = int64_t(w.c12) + from;
    const int64_t n = stop - from;
    // Texture positions must not wrap.
    const int64_t textured = w.c12 < 0 ? 0 : std::clamp<int64_t>(int64_t(w.end2) - k0, 0, n);
    if (s0 < 0 || s0 + n > g.nq || (textured > 0 && k0 + textured > g.nq2) || k0 + n > INT32_MAX) return false;
    char* p = out.room(size_t(n) * (2 * int_text_max + 2) + 2);
    for (int64_t i = 0; i < textured; ++i) {
        *p++ = ' ';
        p = formatInt(p, wrapAdd(vertexEntry(g, int32_t(s0 + i)), t.dv));
        *p++ = '/';
        p = formatInt(p, wrapAdd(textureEntry(g, int32_t(k0 + i)), t.dt));
    }
    for (int64_t i = textured; i < n; ++i) {
        *p++ = ' ';
        p = formatInt(p, wrapAdd(vertexEntry(g, int32_t(s0 + i)), t.dv));
    }
    out.done(end ? putEnd(p) : p);
    return true;
}

// The corners from to stop - 1 one at a time, each checked. False at a
// corner outside the vertex or texture index list, after writing the
// corners before it (and the vertex number of that corner, when only its
// texture side was outside).
template <class Sink>
bool putCornersChecked(Sink& out, const Group& g, const Totals& t, const CornerWalk& w, uint32_t from,
                       uint32_t stop) {
    for (uint32_t i = from; i < stop; ++i) {
        Corner c;
        const bool ok = cornerAt(g, w, i, c);
        if (!ok && !c.textured) return false;
        char* p = out.room(unit_text_max);
        *p++ = ' ';
        p = formatInt(p, wrapAdd(c.v, t.dv));
        if (ok && c.textured) {
            *p++ = '/';
            p = formatInt(p, wrapAdd(c.t, t.dt));
        }
        out.done(p);
        if (!ok) return false;
    }
    return true;
}

// Writes a facet line or a piece of it. False when a corner lies outside
// the vertex or texture index list.
template <class Sink>
bool putFacet(Sink& out, const Group& g, const Totals& t, FacetPiece piece, FacetState& st) {
    const Face f = faceAt(g, piece.j);
    if (piece.from == 0) putFacetHead(out, g, f, st);
    const CornerWalk w = cornerWalk(f, texFaceAt(g, piece.j));
    const uint32_t stop = std::min(piece.to, w.corners);
    const bool end = stop == w.corners;
    if (putCornersQuick(out, g, t, w, piece.from, stop, end)) return true;
    if (!putCornersChecked(out, g, t, w, piece.from, stop)) return false;
    if (end) out.done(putEnd(out.room(2)));
    return true;
}

}  // namespace quarlen
