// The OBJ line vocabulary: text, line ends, names, the closing comments,
// and point and texture-vertex lines as stored, written through a sink
// that gives room for the next piece: the run's Output, or a chunk's own
// text on a formatting thread (chunk_text.h). The same calls make the same
// bytes either way. Facet lines are facet_text.h's.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "convert/obj/number_text.h"
#include "convert/format/output.h"
#include "convert/format/rsr.h"

namespace quarlen {

// The run totals, as the closing comments give them.
struct Totals {
    int32_t dv = 1;  // the number the next group's first point gets
    int32_t dt = 1;  // the same for texture vertices
    int32_t Nf = 0;  // facet lines written in completed groups
    int32_t Nq = 0;  // most corners counted in a facet line written
};

// The most bytes one unit of a body takes, stores past its text included: a
// point or texture-vertex line (at most 48), a facet's material line with
// its "f" (90 for a name of 39 LFs), or one corner with its texture number (24).
inline constexpr size_t unit_text_max = 96;

// Room for the closing comments, longest numbers included.
inline constexpr size_t closing_text_max = 160;

// Room for a line with a name: its head, the name with each byte doubled
// (an LF becomes the line end), and the line end.
constexpr size_t nameLineMax(size_t headLen, size_t nameLen) { return headLen + 2 * nameLen + 16; }

// Room for a material line, with the longest name.
inline constexpr size_t material_line_max = nameLineMax(7, material_size);

// Facet lines up to this many corners are written in one go when every
// corner is in range.
inline constexpr uint32_t quick_corners = 32;

// The room a facet line asks for at once: its material line, "f", and
// quick_corners corners of two numbers with the line end. No other line
// asks for more (a group line of 256 LFs: 530), so an output block must
// hold at least this.
inline constexpr size_t facet_room = material_line_max + 1 + quick_corners * (2 * int_text_max + 2) + 2;

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

// The run's Output as a sink: room for a piece at a time, never refused.
struct OutputSink {
    Output& out;  // the run's output
    bool reserve(size_t) { return true; }
    size_t written() const { return 0; }  // no material line waits in it
    char* room(size_t n) { return quarlen::room(out, n); }
    void done(char* p) { quarlen::done(out, p); }
};

// Point lines "v x y z" (Three) or texture-vertex lines "vt u v" for the
// items begin to end - 1 of a stored float array.
template <bool Lf, bool Three, class Sink>
void putFloatLinesAs(Sink& out, const unsigned char* a, int32_t begin, int32_t end) {
    constexpr size_t stride = Three ? 12 : 8;
    for (int32_t i = begin; i < end; ++i) {
        const unsigned char* r = a + size_t(i) * stride;
        char* p = out.room(unit_text_max);
        p = Three ? putText(p, "v ", 2) : putText(p, "vt ", 3);
        p = formatFloat(p, Float(be32(r)));
        *p++ = ' ';
        p = formatFloat(p, Float(be32(r + 4)));
        if constexpr (Three) {
            *p++ = ' ';
            p = formatFloat(p, Float(be32(r + 8)));
        }
        out.done(putEnd(p, Lf));
    }
}

// One loop for each kind of line and line end.
template <class Sink>
void putFloatLines(Sink& out, const unsigned char* a, int32_t begin, int32_t end, bool three, bool lf) {
    if (three)
        lf ? putFloatLinesAs<true, true>(out, a, begin, end) : putFloatLinesAs<false, true>(out, a, begin, end);
    else
        lf ? putFloatLinesAs<true, false>(out, a, begin, end) : putFloatLinesAs<false, false>(out, a, begin, end);
}

}  // namespace quarlen
