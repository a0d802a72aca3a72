#include "convert/obj/obj_body.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "convert/obj/chunk_cursor.h"
#include "convert/obj/option_lines.h"

namespace quarlen {

namespace {

// Facets written as stored, one line each, which may go in pieces: no
// option takes a facet apart or leaves one out.
bool plainFacets(const OutputOptions& o) { return !o.clean && !o.triangulate; }

// Coordinates written as stored.
bool plainFloats(const OutputOptions& o) { return !o.clean && !o.weld && !o.zUp && !o.exact && o.scale == 1.0; }

// A chunk's text, in memory that grows before each piece is written into
// it.
struct Text {
    char* data = nullptr;
    size_t len = 0, cap = 0;
    Text() = default;
    Text(Text&& t) noexcept : data(t.data), len(t.len), cap(t.cap) { t.data = nullptr; }
    Text& operator=(const Text&) = delete;
    ~Text() { std::free(data); }

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

}  // namespace

// One chunk, formatted by whichever thread took it.
struct BodySlot {
    BodyChunk c;
    Text text;
    bool ok = true, noMemory = false;
    ChunkMaterials materials;           // its material decisions
    CleanCounts counts;
    int32_t lines = 0, nq = INT32_MIN;  // facet lines written, most corners counted
    Corners corners;
    std::vector<CornerText> cornerText;  // a facet's corners as text, for its triangles
};

struct BodySlots {
    std::vector<BodySlot> slots;
};

void BodySlotsFree::operator()(BodySlots* s) const { delete s; }
BodyMemory newBodyMemory() { return BodyMemory(new BodySlots); }

namespace {

// Facet j as the traditional output writes it, with the options' point
// numbers. False at the first corner outside the vertex or texture index
// list, with out holding what walkCorners handed out before it.
bool rawFacet(const Group& g, int32_t j, const Numbering& n, Corners& out) {
    out.v.clear();
    out.t.clear();
    const CornerWalk w = cornerWalk(faceAt(g, j), texFaceAt(g, j));
    return walkCorners(g, w, 0, w.corners, [&](const Corner& c) {
        out.v.push_back(pointNumber(g, n, c.v));
        if (c.textured) out.t.push_back(wrapAdd(c.t, n.tbase));
    });
}

enum class Put { written, left_out, bad_value, no_memory };

// The facet's lines, fanned into triangles from its first corner when
// asked. An unchanged facet counts its stored corner count `nc` in the
// closing comments, as the traditional output does.
char* putFacetLines(const OutputOptions& o, BodySlot& s, char* p, int32_t nc) {
    const Corners& c = s.corners;
    const size_t n = c.v.size();
    if (!o.triangulate || n <= 3) {
        const int32_t counted = o.clean || o.triangulate ? int32_t(n) : nc;
        ++s.lines;
        s.nq = std::max(s.nq, counted);
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
        ++s.lines;
        s.nq = std::max(s.nq, 3);
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
// line end after the last corner of the walk.
template <class Sink>
Put putPlainFacet(const BodyGroup& b, BodySlot& s, Sink& out, int32_t j, const Face& f, int32_t cm, uint32_t from,
                  uint32_t to) {
    const CornerWalk w = cornerWalk(f, texFaceAt(b.g, j));
    const uint32_t stop = std::min(to, w.corners);
    const bool end = stop == w.corners;
    const size_t corners = stop > from ? stop - from : 0;
    if (!out.reserve(nameLineMax(7, material_size) + corners * unit_text_max + 2)) return Put::no_memory;
    if (from == 0) {
        char* p = putMaterialLine(b, s, out, out.room(nameLineMax(7, material_size) + 1), cm);
        *p++ = 'f';
        out.done(p);
        ++s.lines;
        s.nq = std::max(s.nq, f.nc);
    }
    if (putCornersQuick(out, b.g, b.n, w, from, stop, end, b.o.lf)) return Put::written;
    if (!putCornersChecked(out, b.g, b.n, w, from, stop)) return Put::bad_value;
    if (end) out.done(putEnd(out.room(2), b.o.lf));
    return Put::written;
}

// Facet j, under material cm, as clean and triangulate make it.
template <class Sink>
Put putFacet(const BodyGroup& b, BodySlot& s, Sink& out, int32_t j, const Face& f, int32_t cm) {
    bool ok = true;
    if (b.o.clean) {
        if (!cleanFacet(b.g, j, b.n, s.corners, s.counts)) return Put::left_out;
    } else {
        ok = rawFacet(b.g, j, b.n, s.corners);
    }
    if (!out.reserve(nameLineMax(7, material_size) + facetLinesMax(s.corners.v.size()))) return Put::no_memory;
    char* p = putMaterialLine(b, s, out, out.room(nameLineMax(7, material_size)), cm);
    if (!ok) {
        // The corners before the bad one, with no line end, as traditionally.
        out.done(putCorners(p, s.corners, nullptr, s.corners.v.size()));
        return Put::bad_value;
    }
    out.done(putFacetLines(b.o, s, p, f.nc));
    return Put::written;
}

// The facets of chunk c; false when one stopped the body.
template <class Sink>
bool putFacets(const BodyGroup& b, BodySlot& s, Sink& out, const BodyChunk& c) {
    const bool plain = plainFacets(b.o);
    walkFacets(b.g, c.begin, c.end, c.cm, [&](int32_t j, const Face& f, int32_t cm) {
        Put put;
        if (plain)
            put = putPlainFacet(b, s, out, j, f, cm, j == c.begin ? c.from : 0, j + 1 == c.end ? c.to : UINT32_MAX);
        else
            put = putFacet(b, s, out, j, f, cm);
        s.ok = put == Put::written || put == Put::left_out;
        s.noMemory = put == Put::no_memory;
        return s.ok;
    });
    return s.ok;
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
    for (int32_t i = c.begin; i < c.end; ++i) {
        if (three && o.weld && !b.points.added[size_t(i)]) continue;
        float w[3];
        if (three) writtenPoint(o, b.g, i, w);
        else writtenTexture(o, b.g, i, w);
        out.done(putFloatLine(o, out.room(float_line_max), three ? "v " : "vt ", three ? 2 : 3, w, three ? 3 : 2));
    }
}

// Settles what a chunk of facets wrote: its lines, corners and counts.
void settleFacets(const BodyGroup& b, const BodySlot& s) {
    b.counts += s.counts;
    b.totals.Nf = wrapAdd(b.totals.Nf, s.lines);
    b.totals.Nq = std::max(b.totals.Nq, s.nq);
}

class ChunkedWriter final : public ChunkedBody {
public:
    ChunkedWriter(const BodyGroup& b, uint32_t chunk, std::vector<BodySlot>& slots)
        : b_(b), chunk_(chunk), slots_(slots) {}

    bool cut(size_t slot) override {
        if (cursor_.part == BodyPart::done) return false;
        const BodyGroup& b = b_;
        BodyChunk& c = slots_[slot].c;
        if (cursor_.part == BodyPart::facets) {
            c = cutFacetLines(cursor_, b.g, chunk_, plainFacets(b.o), b.o.triangulate ? 3 : 1);
            return true;
        }
        c = cutLines(cursor_, b.g, chunk_);
        if (c.part == BodyPart::texture_vertices) prepareTextureVertices(b.points, b.o, b.g, c.begin, c.end, b.prepared);
        if (c.part == BodyPart::points && !preparePoints(b.points, b.o, b.g, c.begin, c.end, b.nextPoint, b.prepared)) {
            noMemory_ = true;  // the chunks before it are written
            cursor_.part = BodyPart::done;
            return false;
        }
        return true;
    }

    // Memory that runs out on a formatting thread is told when the chunk
    // would be written.
    void format(size_t slot) override {
        BodySlot& s = slots_[slot];
        s.text.len = 0;
        s.ok = true;
        s.noMemory = false;
        s.materials.reset();
        s.counts = CleanCounts{};
        s.lines = 0;
        s.nq = INT32_MIN;
        try {
            if (s.c.part == BodyPart::facets)
                putFacets(b_, s, s.text, s.c);
            else
                putFloats(b_, s, s.text, s.c);
        } catch (const std::bad_alloc&) {
            s.noMemory = true;
        }
    }

    bool write(size_t slot) override {
        BodySlot& s = slots_[slot];
        if (s.noMemory) {
            noMemory_ = true;
            return false;
        }
        const BodyGroup& b = b_;
        try {
            if (s.c.part != BodyPart::facets) {
                putBytes(b.out, s.text.data, s.text.len);
                return s.ok;
            }
            writeFacetChunk(b.out, b.o, b.g, b.materials, s.materials, s.text.data, s.text.len);
        } catch (const std::bad_alloc&) {
            noMemory_ = true;
            return false;
        }
        settleFacets(b, s);
        return s.ok;
    }

    bool noMemory() const { return noMemory_; }

private:
    const BodyGroup& b_;
    const uint32_t chunk_;
    std::vector<BodySlot>& slots_;
    ChunkCursor cursor_ = startBody(b_.g);
    bool noMemory_ = false;
};

// The traditional body on the run's thread: straight into the output,
// which never refuses room.
GroupWritten writeStraight(const BodyGroup& b, BodySlot& s) {
    OutputSink out{b.out};
    const Group& g = b.g;
    putFloatLines(out, g.xyz, 0, g.np, true, b.o.lf);
    putFloatLines(out, g.uv, 0, g.nt, false, b.o.lf);
    s.materials.reset(b.materials.written);
    s.counts = CleanCounts{};
    s.lines = 0;
    s.nq = INT32_MIN;
    BodyChunk all;
    all.part = BodyPart::facets;
    all.end = g.nf;
    const bool ok = putFacets(b, s, out, all);
    writeFacetChunk(b.out, b.o, g, b.materials, s.materials, nullptr, 0);
    settleFacets(b, s);
    return ok ? GroupWritten::done : GroupWritten::bad_value;
}

}  // namespace

GroupWritten writeBody(WriterPool* pool, uint32_t chunk, BodySlots& memory, const BodyGroup& group) {
    assert(chunk > 0);
    memory.slots.resize(std::max<size_t>(memory.slots.size(), poolSlots(pool)));
    if (!pool && plainFacets(group.o) && plainFloats(group.o)) return writeStraight(group, memory.slots[0]);
    ChunkedWriter body(group, chunk, memory.slots);
    const bool ok = writeChunks(pool, body);
    if (body.noMemory()) return GroupWritten::no_memory;
    return ok ? GroupWritten::done : GroupWritten::bad_value;
}

}  // namespace quarlen
