// Facet lines. putFacet writes one facet's line from its corners, which
// one walk gives it: the plain walk over the stored corners (walkCorners
// in format/rsr.h), written as they come, or, with --clean or
// --triangulate, a list of them (--clean's walk, cleanFacet in
// options/clean.h, or the plain walk into a list, rawFacet). putFacets is
// the loop over a chunk's facets, each under the material in force at it.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "convert/obj/body_slot.h"
#include "convert/obj/obj_body.h"
#include "convert/obj/option_lines.h"
#include "convert/options/info.h"

namespace quarlen {

// Facets written as stored, one line each, which may go in pieces: no
// option takes a facet apart or leaves one out.
inline bool plainFacets(const OutputOptions& o) { return !o.clean && !o.triangulate; }

// What became of a facet.
enum class FacetPut { written, left_out, bad_value, no_memory };

// What a chunk's facet lines count for the closing comments, kept on the
// stack while its facets are written: the text's stores cannot reach it.
struct FacetTally {
    int32_t lines = 0;       // facet lines written
    int32_t nq = INT32_MIN;  // most corners counted in one
};

// Facet j as the plain walk gives it, into out as the options number it.
// False at the first corner outside the vertex or texture index list, out
// then holding what the walk handed out before it.
bool rawFacet(const Group& g, int32_t j, const Numbering& n, Corners& out);

// The material line a facet written under cm needs, at p.
template <class Sink>
char* putMaterialLine(const BodyGroup& b, BodySlot& s, Sink& out, char* p, int32_t cm) {
    if (!materialLineBefore(s.materials, cm, out.written())) return p;
    return putNameLine(b.o, p, NameLine::material, materialName(b.g, cm).s);
}

// Facet j, under material cm: the material line when one is due, "f", the
// corners from to to - 1, and the line end after its last corner (a chunk
// may hold a piece of a long line; the material line and "f" come with
// corner 0).
//
// Plain, the corners are walked as stored: the usual facet, whose corners
// all lie in their lists, in one go; any other one corner at a time up to
// the first outside its list, where the line stops without its end
// ("bad value"), as traditionally. It counts its stored nc in the
// closing comments, as the traditional output does.
//
// Otherwise the corners are listed first, by --clean's walk (a facet it
// leaves out writes nothing) or the plain one, then written as one line,
// or as triangles fanned from the first corner with --triangulate. Such a
// facet never goes in pieces.
template <bool Plain, bool Lf, class Sink>
[[gnu::always_inline]] inline FacetPut putFacet(const BodyGroup& b, const Group& g, const Numbering& n, BodySlot& s,
                                                FacetTally& tally, Sink& out, int32_t j, const Face& f, int32_t cm,
                                                uint32_t from, uint32_t to) {
    if constexpr (Plain) {
        const CornerWalk w = cornerWalk(f, texFaceAt(g, j));
        const uint32_t stop = std::min(to, w.corners);
        const bool end = stop == w.corners;
        const uint32_t count = stop > from ? stop - from : 0;
        if (!out.reserve(facet_room + size_t(count) * unit_text_max)) return FacetPut::no_memory;
        // One room request for the usual facet, its material line included.
        char* p = out.room(facet_room);
        if (from == 0) {
            p = putMaterialLine(b, s, out, p, cm);
            *p++ = 'f';
            ++tally.lines;
            tally.nq = std::max(tally.nq, f.nc);
        }
        // The usual facet: no check per corner. Welded points are numbered
        // one by one, and texture positions must not wrap.
        if (!n.map && stop > from && stop - from <= quick_corners) {
            const int64_t s0 = int64_t(w.c1) + from, k0 = int64_t(w.c12) + from;
            const int64_t corners = stop - from;
            const int64_t textured = w.c12 < 0 ? 0 : std::clamp<int64_t>(int64_t(w.end2) - k0, 0, corners);
            if (inList(s0, corners, g.nq) && inList(k0, textured, g.nq2) && k0 + corners <= INT32_MAX) {
                for (int64_t i = 0; i < textured; ++i) {
                    *p++ = ' ';
                    p = formatInt(p, wrapAdd(vertexEntry(g, int32_t(s0 + i)), n.vbase));
                    *p++ = '/';
                    p = formatInt(p, wrapAdd(textureEntry(g, int32_t(k0 + i)), n.tbase));
                }
                for (int64_t i = textured; i < corners; ++i) {
                    *p++ = ' ';
                    p = formatInt(p, wrapAdd(vertexEntry(g, int32_t(s0 + i)), n.vbase));
                }
                out.done(end ? putEnd(p, Lf) : p);
                return FacetPut::written;
            }
        }
        out.done(p);
        const bool inRange = walkCorners(g, w, from, stop, [&](const Corner& c) {
            char* q = out.room(unit_text_max);
            *q++ = ' ';
            q = formatInt(q, pointNumber(g, n, c.v));
            if (c.textured) {
                *q++ = '/';
                q = formatInt(q, wrapAdd(c.t, n.tbase));
            }
            out.done(q);
        });
        if (!inRange) return FacetPut::bad_value;
        if (end) out.done(putEnd(out.room(2), Lf));
        return FacetPut::written;
    } else {
        assert(from == 0 && to == UINT32_MAX && "a listed facet is never cut in pieces");
        (void)from;
        (void)to;
        bool inRange = true;
        if (b.o.clean) {
            if (!cleanFacet(g, j, n, s.corners, s.counts)) return FacetPut::left_out;
        } else {
            inRange = rawFacet(g, j, n, s.corners);
        }
        const Corners& c = s.corners;
        const size_t count = c.v.size();
        if (!out.reserve(material_line_max + facetLinesMax(count))) return FacetPut::no_memory;
        char* p = putMaterialLine(b, s, out, out.room(material_line_max), cm);
        if (!inRange) {
            // The corners before the bad one, with no line end, as traditionally.
            out.done(putCorners(p, c, nullptr, count));
            return FacetPut::bad_value;
        }
        if (!b.o.triangulate || count <= 3) {
            ++tally.lines;
            tally.nq = std::max(tally.nq, int32_t(count));
            out.done(putEnd(putCorners(p, c, nullptr, count), Lf));
            return FacetPut::written;
        }
        // Each corner's text is made once: the fan repeats the first corner
        // in every triangle and the others in two. Whole slots are copied,
        // which is quicker than copying just the text.
        s.cornerText.resize(count);
        for (size_t k = 0; k < count; ++k) {
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
        for (size_t i = 0; i + 2 < count; ++i) {
            size_t at[3];
            fanTriangle(i, at);
            *p++ = 'f';
            for (const size_t k : at) {
                std::memcpy(p, s.cornerText[k].text, sizeof s.cornerText[k].text);
                p += s.cornerText[k].len;
            }
            p = putEnd(p, Lf);
            ++tally.lines;
            tally.nq = std::max(tally.nq, 3);
        }
        out.done(p);
        return FacetPut::written;
    }
}

// The facets of chunk c, each under the material in force at it and
// counted for --info first when asked, into out; the chunk's lines and
// most corners go to s. False when a facet stopped the body: a corner
// outside its lists, or memory that ran out (s.noMemory). Flattened, so
// that the traditional output's loop keeps its facet text inline.
template <bool Plain, bool Lf, class Sink>
[[gnu::flatten]] bool putFacets(const BodyGroup& b, BodySlot& s, Sink& out, const BodyChunk& c) {
    assert(c.part == BodyPart::facets && c.begin <= c.end && c.end <= b.g.nf);
    // Copies that the text's stores cannot reach, so the loop need not read
    // them again after each facet.
    const Group g = b.g;
    const Numbering n = b.n;
    InfoCount* const count = b.count;
    const int32_t begin = c.begin, end = c.end, last = c.end - 1;
    const uint32_t from = c.from, to = c.to;
    FacetTally tally;
    FacetPut put = FacetPut::written;
    // The usual chunk holds whole lines (no pieces): its loop knows it.
    auto walk = [&](auto pieces) {
        int32_t cm = c.cm;
        for (int32_t j = begin; j < end && (put == FacetPut::written || put == FacetPut::left_out); ++j) {
            const Face f = faceAt(g, j);
            cm = materialAfter(g, cm, f.mat);
            if (count) countFacet(*count, g, j, f, cm);
            put = putFacet<Plain, Lf>(b, g, n, s, tally, out, j, f, cm, pieces && j == begin ? from : 0,
                                      pieces && j == last ? to : UINT32_MAX);
        }
    };
    if (from == 0 && to == UINT32_MAX)
        walk(std::false_type{});
    else
        walk(std::true_type{});
    s.lines = tally.lines;
    s.nq = tally.nq;
    s.noMemory = put == FacetPut::no_memory;
    s.ok = put == FacetPut::written || put == FacetPut::left_out;
    return s.ok;
}

}  // namespace quarlen
