// The OBJ writer's lines as the output options make them: the traditional
// line forms with scale, axis, line ends, float text and safe names as the
// options ask, written into a sink that gives room (a chunk's text, or the
// run's Output).
#pragma once

#include <cmath>
#include <cstring>

#include "convert/options/clean.h"
#include "convert/obj/float_text.h"
#include "convert/obj/obj_lines.h"
#include "convert/options/output_options.h"

namespace quarlen {

// Room for a point or texture-vertex line.
inline constexpr size_t float_line_max = 4 + 3 * (float_text_max + 1) + 2;

// Room for the lines of a facet of n corners written as the options ask
// (as triangles: n - 2 lines of 3), without its material line; a corner
// copied whole may store 32 bytes.
inline size_t facetLinesMax(size_t n) { return (3 * n + 3) * (2 * int_text_max + 4) + 32; }

inline char* putCoordinate(const OutputOptions& o, char* p, float f) {
    if (o.exact && std::isfinite(f)) return shortestFloatText(p, p + float_text_max, f);
    return formatFloat(p, f);
}

// The lines that carry a name.
enum class NameLine {
    group,     // "g NAME"
    material,  // "usemtl NAME"
    mtllib,    // "mtllib NAME.mtl", naming the material file
};

// A name line. --clean makes group and material names safe, and --mtl
// material names too, so that the .mtl file's names match; the material
// file's name is written as it is.
inline char* putNameLine(const OutputOptions& o, char* p, NameLine kind, const char* name) {
    const bool material = kind == NameLine::material;
    p = kind == NameLine::group ? putText(p, "g ", 2) : putText(p, material ? "usemtl " : "mtllib ", 7);
    const bool safe = kind != NameLine::mtllib && (o.clean || (material && o.mtl));
    p = safe ? putSafeName(p, name, material) : putName(p, name, SIZE_MAX, o.lf);
    return putEnd(p, o.lf);
}

// The same line written to the run's output.
inline void writeNameLine(Output& out, const OutputOptions& o, NameLine kind, const char* name) {
    char* p = room(out, nameLineMax(7, std::strlen(name)));
    done(out, putNameLine(o, p, kind, name));
}

inline char* putFloatLine(const OutputOptions& o, char* p, const char* head, size_t headLen, const float* c, int n) {
    p = putText(p, head, headLen);
    for (int k = 0; k < n; ++k) {
        if (k) *p++ = ' ';
        p = putCoordinate(o, p, c[k]);
    }
    return putEnd(p, o.lf);
}

// Point i as written: scaled, with clean a 0 for each coordinate that is
// not finite once scaled, turned Z-up when asked (0 - z rather than -z, so
// that no "-0" appears for z = 0).
inline void writtenPoint(const OutputOptions& o, const Group& g, int32_t i, float w[3]) {
    float s[3];
    scaledPoint(g, i, effectiveScale(o), s);
    for (float& c : s)
        if (o.clean && !std::isfinite(c)) c = 0;
    w[0] = s[0];
    w[1] = o.zUp ? 0.0f - s[2] : s[1];
    w[2] = o.zUp ? s[1] : s[2];
}

// Texture vertex i as written: with clean, 0 for a coordinate that is not
// finite.
inline void writtenTexture(const OutputOptions& o, const Group& g, int32_t i, float c[2]) {
    texturePoint(g, i, c);
    for (int k = 0; k < 2; ++k)
        if (o.clean && !std::isfinite(c[k])) c[k] = 0;
}

// "f" and the corners of c: c's corners at[0..n) or, without at, the first
// n; no line end.
inline char* putCorners(char* p, const Corners& c, const size_t* at, size_t n) {
    *p++ = 'f';
    for (size_t i = 0; i < n; ++i) {
        const size_t k = at ? at[i] : i;
        *p++ = ' ';
        p = formatInt(p, c.v[k]);
        if (k < c.t.size()) {
            *p++ = '/';
            p = formatInt(p, c.t[k]);
        }
    }
    return p;
}

}  // namespace quarlen
