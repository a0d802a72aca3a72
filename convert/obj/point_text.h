// The point and texture-vertex lines of a chunk: as stored, or as the
// output options make them (scaled, turned, cleaned, welded, exact).
#pragma once

#include <cstdint>

#include "convert/obj/body_slot.h"
#include "convert/obj/obj_body.h"
#include "convert/obj/option_lines.h"

namespace quarlen {

// Coordinates written as stored.
inline bool plainFloats(const OutputOptions& o) {
    return !o.clean && !o.weld && !o.zUp && !o.exact && effectiveScale(o) == 1.0;
}

// Point lines (Three) or texture-vertex lines begin to end - 1 as the
// options make them; a welded point that is not new is left out.
template <bool Three, class Sink>
void putOptionFloats(const BodyGroup& b, Sink& out, int32_t begin, int32_t end) {
    const OutputOptions& o = b.o;
    for (int32_t i = begin; i < end; ++i) {
        if (Three && o.weld && !b.points.added[size_t(i)]) continue;
        float w[3];
        if constexpr (Three) writtenPoint(o, b.g, i, w);
        else writtenTexture(o, b.g, i, w);
        out.done(putFloatLine(o, out.room(float_line_max), Three ? "v " : "vt ", Three ? 2 : 3, w, Three ? 3 : 2));
    }
}

// The point or texture-vertex lines of chunk c, into out.
template <class Sink>
void putFloats(const BodyGroup& b, BodySlot& s, Sink& out, const BodyChunk& c) {
    const OutputOptions& o = b.o;
    const bool three = c.part == BodyPart::points;
    if (!out.reserve(size_t(c.end - c.begin) * float_line_max + unit_text_max)) {
        s.noMemory = true;
        return;
    }
    if (plainFloats(o)) return putFloatLines(out, three ? b.g.xyz : b.g.uv, c.begin, c.end, three, o.lf);
    if (three)
        putOptionFloats<true>(b, out, c.begin, c.end);
    else
        putOptionFloats<false>(b, out, c.begin, c.end);
}

}  // namespace quarlen
