// A traditional group body cut into chunks for the writer pool: about
// `chunk` units each (a point or texture-vertex line, a facet, a corner; a
// facet line longer than a chunk goes in pieces). The bytes, the point of
// a failure and the totals are those of writeGroupBody.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "convert/obj/traditional_writer.h"
#include "convert/obj/writer_pool.h"

namespace quarlen {

namespace {

enum Part { points, texture_vertices, facets, body_done };

// A run of lines or facets of one part of the body. For facets, `from` and
// `to` bound the corners of the first and last facet, so that a chunk can
// hold one piece of a long line.
struct Chunk {
    Part part = points;
    int32_t begin = 0, end = 0;
    uint32_t from = 0, to = UINT32_MAX;
    int32_t cm = -1;  // the material in force before the chunk
};

// Where the cutting of a body has got to. It follows the material in force
// from facet to facet, so that each chunk starts with the right one.
struct Splitter {
    Part part = points;
    int32_t next = 0;     // the first line or facet not yet in a chunk
    uint32_t corner = 0;  // corners of facet `next` already in pieces
    int32_t cm = -1;
};

void settle(Splitter& s, const Group& g) {
    if (s.part == points && s.next >= g.np) {
        s.part = texture_vertices;
        s.next = 0;
    }
    if (s.part == texture_vertices && s.next >= g.nt) {
        s.part = facets;
        s.next = 0;
    }
    if (s.part == facets && s.next >= g.nf) s.part = body_done;
}

// Corners written for facet j: its walk up to and including the first
// corner outside the vertex index list, where the walk fails.
uint32_t cornersWritten(const Group& g, int32_t j) {
    const Face f = faceAt(g, j);
    const uint32_t walk = walkLength(f.c1, f.nc);
    if (walk == 0) return 0;
    if (f.c1 < 0 || f.c1 >= g.nq) return 1;
    const int64_t inList = int64_t(g.nq) - f.c1;
    return walk <= inList ? walk : static_cast<uint32_t>(inList + 1);
}

void stepMaterial(Splitter& s, const Group& g, int32_t j) { s.cm = materialAfter(g, s.cm, faceAt(g, j).mat); }

// The next chunk of at most `budget` units, or budget + 1 for the first
// piece of a long line (its "f" counts one). The body must not be done.
Chunk nextChunk(Splitter& s, const Group& g, uint32_t budget) {
    Chunk c;
    c.part = s.part;
    c.begin = s.next;
    if (s.part != facets) {
        const int64_t n = s.part == points ? g.np : g.nt;
        c.end = static_cast<int32_t>(n - s.next > budget ? s.next + int64_t(budget) : n);
        s.next = c.end;
        settle(s, g);
        return c;
    }
    c.cm = s.cm;
    const uint32_t corners = cornersWritten(g, s.next);
    if (s.corner > 0 || 1 + uint64_t(corners) > budget) {
        c.end = s.next + 1;
        c.from = s.corner;
        if (s.corner == 0) stepMaterial(s, g, s.next);
        if (corners - s.corner > budget) {
            c.to = s.corner + budget;
            s.corner = c.to;
        } else {
            s.corner = 0;
            ++s.next;
        }
        settle(s, g);
        return c;
    }
    uint64_t units = 0;
    int32_t j = s.next;
    for (; j < g.nf; ++j) {
        const uint64_t w = 1 + uint64_t(j == s.next ? corners : cornersWritten(g, j));
        if (units + w > budget) break;
        units += w;
        stepMaterial(s, g, j);
    }
    c.end = j;
    s.next = j;
    settle(s, g);
    return c;
}

// One chunk's text, made by whichever thread took the chunk.
struct Slot {
    Chunk c;
    char* buf = nullptr;
    size_t len = 0;
    bool ok = true;
    int32_t nq = INT32_MIN;  // most corners of any facet in the chunk
};

class TraditionalBody final : public ChunkedBody {
public:
    TraditionalBody(Output& out, const Group& g, const Totals& t, uint32_t chunk, char* memory, size_t slots)
        : out_(out), g_(g), t_(t), chunk_(chunk), slots_(slots) {
        for (size_t i = 0; i < slots; ++i) slots_[i].buf = memory + i * chunkTextBytes(chunk);
        settle(split_, g);
    }

    bool cut(size_t slot) override {
        if (split_.part == body_done) return false;
        slots_[slot].c = nextChunk(split_, g_, chunk_);
        return true;
    }

    void format(size_t slot) override {
        Slot& s = slots_[slot];
        BufferSink sink{s.buf};
        const Chunk& c = s.c;
        s.ok = true;
        s.nq = INT32_MIN;
        if (c.part == points) {
            putFloatLines(sink, g_.xyz, c.begin, c.end, true);
        } else if (c.part == texture_vertices) {
            putFloatLines(sink, g_.uv, c.begin, c.end, false);
        } else {
            FacetState st{c.cm, INT32_MIN};
            for (int32_t j = c.begin; j < c.end && s.ok; ++j)
                s.ok = putFacet(sink, g_, t_, {j, j == c.begin ? c.from : 0, j + 1 == c.end ? c.to : UINT32_MAX}, st);
            s.nq = st.nqMax;
        }
        s.len = static_cast<size_t>(sink.p - s.buf);
    }

    bool write(size_t slot) override {
        const Slot& s = slots_[slot];
        putBytes(out_, s.buf, s.len);
        if (s.nq > nq_) nq_ = s.nq;
        return s.ok;
    }

    int32_t nq() const { return nq_; }

private:
    Output& out_;
    const Group& g_;
    const Totals& t_;
    const uint32_t chunk_;
    Splitter split_;
    std::vector<Slot> slots_;
    int32_t nq_ = INT32_MIN;  // most corners of any facet written
};

}  // namespace

size_t chunkTextBytes(uint32_t chunk) {
    // budget + 1 units, and the line end of a last piece.
    return (size_t(chunk) + 1) * unit_text_max + 32;
}

bool writeGroupBodySplit(WriterPool* pool, Output& out, const Group& g, Totals& t, uint32_t chunk, char* memory) {
    TraditionalBody body(out, g, t, chunk, memory, poolSlots(pool));
    const bool ok = writeChunks(pool, body);
    if (body.nq() > t.Nq) t.Nq = body.nq();
    return ok;
}

}  // namespace quarlen
