// The text of a group body, chunk by chunk or straight into the output:
// the facet lines (whole, in pieces, or as clean and triangulate make
// them) with their material lines, and the point and texture-vertex lines.
// The same calls serve both sinks: a chunk's text, which grows as it is
// reserved, and the run's Output.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "convert/parallel/chunk_cursor.h"
#include "convert/obj/obj_body.h"
#include "convert/obj/option_lines.h"
#include "convert/options/info.h"

namespace quarlen {

// Facets written as stored, one line each, which may go in pieces: no
// option takes a facet apart or leaves one out.
inline bool plainFacets(const OutputOptions& o) { return !o.clean && !o.triangulate; }

// Coordinates written as stored.
inline bool plainFloats(const OutputOptions& o) { return !o.clean && !o.weld && !o.zUp && !o.exact && effectiveScale(o) == 1.0; }

// A chunk's text, in memory that grows before each piece is written into
// it.
struct ChunkText {
    char* data = nullptr;
    size_t len = 0, cap = 0;
    ChunkText() = default;
    ChunkText(ChunkText&& t) noexcept : data(t.data), len(t.len), cap(t.cap) { t.data = nullptr; }
    ChunkText& operator=(const ChunkText&) = delete;
    ~ChunkText() { std::free(data); }

    // Room for n more bytes; false when memory runs out.
    bool reserve(size_t n) {
        if (cap - len >= n) return true;
        const size_t want = std::max(len + n, 2 * cap);
        char* grown = static_cast<char*>(std::realloc(data, want));
        if (!grown) return false;
        data = grown;
        cap = want;
        return true;
    }
    size_t written() const { return len; }
    // Room reserved before.
    char* room([[maybe_unused]] size_t n) {
        assert(cap - len >= n && "room that was not reserved");
        return data + len;
    }
    void done(char* p) { len = static_cast<size_t>(p - data); }
};

// One corner's text, " v/t", in a slot that is copied whole.
struct CornerText {
    char text[32];
    unsigned char len;
};

// One chunk, formatted by whichever thread took it.
struct BodySlot {
    BodyChunk c;
    ChunkText text;
    bool ok = true, noMemory = false;
    ChunkMaterials materials;           // its material decisions
    CleanCounts counts;
    int32_t lines = 0, nq = INT32_MIN;  // facet lines written, most corners counted
    Corners corners;
    std::vector<CornerText> cornerText;  // a facet's corners as text, for its triangles
};

// What became of a facet.
enum class FacetPut { written, left_out, bad_value, no_memory };

// Facet lines written and the most corners counted, kept on the stack
// while a chunk's facets are written: the text's stores cannot reach them.
struct FacetTally {
    int32_t lines = 0, nq = INT32_MIN;
};

// Facet j as the traditional output writes it, with the options' point
// numbers. False at the first corner outside the vertex or texture index
// list, with out holding what walkCorners handed out before it.
bool rawFacet(const Group& g, int32_t j, const Numbering& n, Corners& out);

// The facet's lines (s.corners), fanned into triangles from its first
// corner when asked. An unchanged facet counts its stored corner count
// `nc` in the closing comments, as the traditional output does. Inline,
// so that the tally stays in registers.
inline char* putFacetLines(const OutputOptions& o, BodySlot& s, FacetTally& tally, char* p, int32_t nc) {
    const Corners& c = s.corners;
    const size_t n = c.v.size();
    if (!o.triangulate || n <= 3) {
        const int32_t counted = o.clean || o.triangulate ? int32_t(n) : nc;
        ++tally.lines;
        tally.nq = std::max(tally.nq, counted);
        return putEnd(putCorners(p, c, nullptr, n), o.lf);
    }
    // Each corner's text is made once: the fan repeats the first corner
    // in every triangle and the others in two. Whole slots are copied,
    // which is quicker than copying just the text.
    s.cornerText.resize(n);
    for (size_t k = 0; k < n; ++k) {
        CornerText& t = s.cornerText[k];
        char* q = t.text;
        *q++ = ' ';
        q = formatInt(q, c.v[k]);
        if (k < c.t.size()) {
            *q++ = '/';
            q = formatInt(q, c.t[k]);
        }
        t.len = static_cast<unsigned char>(q - t.text);
    }
    auto corner = [&](char* q, size_t k) {
        std::memcpy(q, s.cornerText[k].text, sizeof s.cornerText[k].text);
        return q + s.cornerText[k].len;
    };
    for (size_t i = 0; i + 2 < n; ++i) {
        size_t at[3];
        fanTriangle(i, at);
        *p++ = 'f';
        for (const size_t k : at) p = corner(p, k);
        p = putEnd(p, o.lf);
        ++tally.lines;
        tally.nq = std::max(tally.nq, 3);
    }
    return p;
}

// The material line a facet written under cm needs, at p.
template <class Sink>
char* putMaterialLine(const BodyGroup& b, BodySlot& s, Sink& out, char* p, int32_t cm) {
    if (!materialLineBefore(s.materials, cm, out.written())) return p;
    return putNameLine(b.o, p, "usemtl ", 7, materialName(b.g, cm).s, b.o.clean || b.o.mtl, true);
}

// Corners from to to - 1 of facet j, under material cm, on one line that
// may go in pieces: the material line and "f" come with corner 0, the
// line end (LF alone with Lf) after the last corner of the walk.
// Inlined into the facet loop, whose tally then stays in registers.
template <bool Lf, class Sink>
[[gnu::always_inline]] inline FacetPut putPlainFacet(const BodyGroup& b, const Group& g, const Numbering& n, BodySlot& s,
                                                     FacetTally& tally, Sink& out, int32_t j, const Face& f, int32_t cm,
                                                     uint32_t from, uint32_t to) {
    const CornerWalk w = cornerWalk(f, texFaceAt(g, j));
    const uint32_t stop = std::min(to, w.corners);
    const bool end = stop == w.corners;
    const size_t corners = stop > from ? stop - from : 0;
    if (!out.reserve(facet_room + corners * unit_text_max)) return FacetPut::no_memory;
    // One room request for the usual facet, its material line included.
    char* p = out.room(facet_room);
    if (from == 0) {
        p = putMaterialLine(b, s, out, p, cm);
        *p++ = 'f';
        ++tally.lines;
        tally.nq = std::max(tally.nq, f.nc);
    }
    if (char* q = putCornersQuick<Lf>(p, g, n, w, from, stop, end)) {
        out.done(q);
        return FacetPut::written;
    }
    out.done(p);
    if (!putCornersChecked(out, g, n, w, from, stop)) return FacetPut::bad_value;
    if (end) out.done(putEnd(out.room(2), Lf));
    return FacetPut::written;
}

// Facet j, under material cm, as clean and triangulate make it.
template <class Sink>
FacetPut putFacet(const BodyGroup& b, BodySlot& s, FacetTally& tally, Sink& out, int32_t j, const Face& f,
                  int32_t cm) {
    bool ok = true;
    if (b.o.clean) {
        if (!cleanFacet(b.g, j, b.n, s.corners, s.counts)) return FacetPut::left_out;
    } else {
        ok = rawFacet(b.g, j, b.n, s.corners);
    }
    if (!out.reserve(nameLineMax(7, material_size) + facetLinesMax(s.corners.v.size()))) return FacetPut::no_memory;
    char* p = putMaterialLine(b, s, out, out.room(nameLineMax(7, material_size)), cm);
    if (!ok) {
        // The corners before the bad one, with no line end, as traditionally.
        out.done(putCorners(p, s.corners, nullptr, s.corners.v.size()));
        return FacetPut::bad_value;
    }
    out.done(putFacetLines(b.o, s, tally, p, f.nc));
    return FacetPut::written;
}

// The facets of chunk c, each handed to put(tally, j, face, cm), counted
// in s; false when one stopped the body. Flattened: the loop of the
// traditional output keeps its facet text inline.
template <class PutFacet>
[[gnu::flatten]] bool walkPuts(const BodyGroup& b, BodySlot& s, const BodyChunk& c, PutFacet&& put) {
    FacetTally tally;
    FacetPut last = FacetPut::written;
    walkFacets(b.g, c.begin, c.end, c.cm, [&](int32_t j, const Face& f, int32_t cm) {
        last = put(tally, j, f, cm);
        return last == FacetPut::written || last == FacetPut::left_out;
    });
    s.lines = tally.lines;
    s.nq = tally.nq;
    s.noMemory = last == FacetPut::no_memory;
    s.ok = last == FacetPut::written || last == FacetPut::left_out;
    return s.ok;
}

// The same, each facet counted for --info first when asked (a loop of its
// own, so that the usual one stays as tight as it was).
template <class PutFacet>
bool eachFacet(const BodyGroup& b, BodySlot& s, const BodyChunk& c, PutFacet&& put) {
    if (!b.count) return walkPuts(b, s, c, put);
    return walkPuts(b, s, c, [&](FacetTally& t, int32_t j, const Face& f, int32_t cm) {
        countFacet(*b.count, b.g, j, f, cm);
        return put(t, j, f, cm);
    });
}

// The facets of chunk c written as stored, with the line end Lf asks for.
template <bool Lf, class Sink>
bool putPlainFacets(const BodyGroup& b, BodySlot& s, Sink& out, const BodyChunk& c) {
    // Copies that the text's stores cannot reach, so the loop need not
    // read them again after each one.
    const Group g = b.g;
    const Numbering n = b.n;
    // Whole lines, the usual chunk, or pieces of lines at its ends.
    if (c.from == 0 && c.to == UINT32_MAX)
        return eachFacet(b, s, c, [&](FacetTally& t, int32_t j, const Face& f, int32_t cm) {
            return putPlainFacet<Lf>(b, g, n, s, t, out, j, f, cm, 0, UINT32_MAX);
        });
    const int32_t begin = c.begin, last = c.end - 1;
    const uint32_t from = c.from, to = c.to;
    return eachFacet(b, s, c, [&](FacetTally& t, int32_t j, const Face& f, int32_t cm) {
        return putPlainFacet<Lf>(b, g, n, s, t, out, j, f, cm, j == begin ? from : 0, j == last ? to : UINT32_MAX);
    });
}

template <class Sink>
bool putFacets(const BodyGroup& b, BodySlot& s, Sink& out, const BodyChunk& c) {
    if (!plainFacets(b.o))
        return eachFacet(b, s, c, [&](FacetTally& t, int32_t j, const Face& f, int32_t cm) {
            return putFacet(b, s, t, out, j, f, cm);
        });
    return b.o.lf ? putPlainFacets<true>(b, s, out, c) : putPlainFacets<false>(b, s, out, c);
}

// Point lines (Three) or texture-vertex lines begin to end - 1 as the
// options make them.
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

// The point or texture-vertex lines of chunk c.
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
