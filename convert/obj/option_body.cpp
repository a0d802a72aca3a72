#include "convert/obj/option_body.h"

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

// Facet j as the traditional output writes it, corner by corner. False at
// the first corner outside the vertex or texture index list ("bad value"),
// with out holding the corners before it (and that corner's point, when
// only its texture side was outside).
bool rawFacet(const Group& g, int32_t j, const Numbering& n, Corners& out) {
    out.v.clear();
    out.t.clear();
    const CornerWalk w = cornerWalk(faceAt(g, j), texFaceAt(g, j));
    for (uint32_t i = 0; i < w.corners; ++i) {
        Corner c;
        const bool ok = cornerAt(g, w, i, c);
        if (!ok && !c.textured) return false;
        out.v.push_back(pointNumber(g, n, c.v));
        if (!ok) return false;
        if (c.textured) out.t.push_back(wrapAdd(c.t, n.tbase));
    }
    return true;
}

// A chunk's text, in memory that grows before each line or facet is
// written into it.
struct Text {
    char* data = nullptr;
    size_t len = 0, cap = 0;
    Text() = default;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { std::free(data); }

    // Room for n more bytes; null when memory runs out.
    char* room(size_t n) {
        if (cap - len < n) {
            const size_t want = std::max(len + n, 2 * cap);
            char* grown = static_cast<char*>(std::realloc(data, want));
            if (!grown) return nullptr;
            data = grown;
            cap = want;
        }
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
struct Slot {
    BodyChunk c;
    Text text;
    bool ok = true, noMemory = false;
    ChunkMaterials materials;           // its material decisions
    CleanCounts counts;
    int32_t lines = 0, nq = INT32_MIN;  // facet lines written, most corners counted
    Corners corners;
    std::vector<CornerText> cornerText;  // a facet's corners as text, for its triangles
};

class OptionBody final : public ChunkedBody {
public:
    OptionBody(const OptionGroup& b, uint32_t chunk, size_t slots) : b_(b), chunk_(chunk), slots_(slots) {}

    bool cut(size_t slot) override {
        if (cursor_.part == BodyPart::done) return false;
        const OptionGroup& b = b_;
        BodyChunk& c = slots_[slot].c;
        if (cursor_.part == BodyPart::facets) {
            // A facet's corners are its units, three per corner as triangles.
            c = cutFacets(cursor_, b.g, chunk_, [&](int32_t, const Face& f) {
                return 1 + uint64_t(std::max(f.nc, 0)) * (b.o.triangulate ? 3 : 1);
            });
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
        Slot& s = slots_[slot];
        s.text.len = 0;
        s.ok = true;
        s.noMemory = false;
        try {
            if (s.c.part == BodyPart::facets)
                formatFacets(b_, s);
            else
                formatFloats(b_, s);
        } catch (const std::bad_alloc&) {
            s.noMemory = true;
        }
    }

    bool write(size_t slot) override {
        Slot& s = slots_[slot];
        if (s.noMemory) {
            noMemory_ = true;
            return false;
        }
        const OptionGroup& b = b_;
        try {
            if (s.c.part != BodyPart::facets) {
                putBytes(b.out, s.text.data, s.text.len);
                return s.ok;
            }
            writeFacetChunk(b.out, b.o, b.g, b.materials, s.materials, s.text.data, s.text.len, b.counts);
        } catch (const std::bad_alloc&) {
            noMemory_ = true;
            return false;
        }
        b.counts += s.counts;
        b.totals.Nf = wrapAdd(b.totals.Nf, s.lines);
        b.totals.Nq = std::max(b.totals.Nq, s.nq);
        return s.ok;
    }

    bool noMemory() const { return noMemory_; }

private:
    static void formatFloats(const OptionGroup& b, Slot& s) {
        const OutputOptions& o = b.o;
        const Group& g = b.g;
        const bool three = s.c.part == BodyPart::points;
        for (int32_t i = s.c.begin; i < s.c.end; ++i) {
            if (three && o.weld && !b.points.added[size_t(i)]) continue;
            char* p = s.text.room(float_line_max);
            if (!p) {
                s.noMemory = true;
                return;
            }
            float c[3];
            if (three) {
                writtenPoint(o, g, i, c);
                s.text.done(putFloatLine(o, p, "v ", 2, c, 3));
            } else {
                writtenTexture(o, g, i, c);
                s.text.done(putFloatLine(o, p, "vt ", 3, c, 2));
            }
        }
    }

    // The facet's lines, fanned into triangles from its first corner when
    // asked. An unchanged facet counts its stored corner count `nc` in the
    // closing comments, as the traditional output does.
    static char* putFacetLines(const OutputOptions& o, Slot& s, char* p, int32_t nc) {
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

    static void formatFacets(const OptionGroup& b, Slot& s) {
        const OutputOptions& o = b.o;
        const Group& g = b.g;
        s.materials.reset();
        s.counts = CleanCounts{};
        s.lines = 0;
        s.nq = INT32_MIN;
        walkFacets(g, s.c.begin, s.c.end, s.c.cm, [&](int32_t j, const Face& f, int32_t cm) {
            bool ok = true;
            if (o.clean) {
                if (!cleanFacet(g, j, b.n, s.corners, s.counts)) return true;
            } else {
                ok = rawFacet(g, j, b.n, s.corners);
            }
            char* p = s.text.room(nameLineMax(7, material_size) + facetLinesMax(s.corners.v.size()));
            if (!p) {
                s.noMemory = true;
                return false;
            }
            // A material line only for a facet that is written.
            if (materialLineBefore(s.materials, cm, s.text.len))
                p = putNameLine(o, p, "usemtl ", 7, materialName(g, cm).s, o.clean || o.mtl, true);
            if (!ok) {
                // The corners before the bad one, with no line end, as traditionally.
                s.text.done(putCorners(p, s.corners, nullptr, s.corners.v.size()));
                s.ok = false;
                return false;
            }
            s.text.done(putFacetLines(o, s, p, f.nc));
            return true;
        });
    }

    const OptionGroup& b_;
    const uint32_t chunk_;
    std::vector<Slot> slots_;
    ChunkCursor cursor_ = startBody(b_.g);
    bool noMemory_ = false;
};

}  // namespace

GroupWritten writeOptionBody(WriterPool* pool, uint32_t chunk, const OptionGroup& group) {
    assert(chunk > 0);
    OptionBody body(group, chunk, poolSlots(pool));
    const bool ok = writeChunks(pool, body);
    if (body.noMemory()) return GroupWritten::no_memory;
    return ok ? GroupWritten::done : GroupWritten::bad_value;
}

}  // namespace quarlen
