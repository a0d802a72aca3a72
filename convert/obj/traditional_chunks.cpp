// A traditional group body cut into chunks for the writer pool: about
// `chunk` units each (a point or texture-vertex line, a facet, a corner; a
// facet line longer than a chunk goes in pieces). The bytes, the point of
// a failure and the totals are those of writeGroupBody.
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <vector>

#include "convert/obj/chunk_cursor.h"
#include "convert/obj/traditional_writer.h"
#include "convert/obj/writer_pool.h"

namespace quarlen {

namespace {

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

// The next chunk of at most `budget` units, or budget + 1 for the first
// piece of a long line (its "f" counts one). The body must not be done.
BodyChunk nextChunk(ChunkCursor& c, const Group& g, uint32_t budget) {
    if (c.part != BodyPart::facets) return cutLines(c, g, budget);
    const uint32_t corners = cornersWritten(g, c.next);
    if (c.corner == 0 && 1 + uint64_t(corners) <= budget)
        return cutFacets(c, g, budget, [&](int32_t j, const Face&) {
            return 1 + uint64_t(j == c.next ? corners : cornersWritten(g, j));
        });
    // A line longer than a chunk, in pieces.
    BodyChunk chunk;
    chunk.part = BodyPart::facets;
    chunk.begin = c.next;
    chunk.end = c.next + 1;
    chunk.from = c.corner;
    chunk.cm = c.cm;
    if (c.corner == 0) c.cm = materialAfter(g, c.cm, faceAt(g, c.next).mat);
    if (corners - c.corner > budget) {
        chunk.to = c.corner + budget;
        c.corner = chunk.to;
    } else {
        c.corner = 0;
        ++c.next;
    }
    settle(c, g);
    return chunk;
}

// One chunk's text, made by whichever thread took the chunk.
struct Slot {
    BodyChunk c;
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
    }

    bool cut(size_t slot) override {
        if (cursor_.part == BodyPart::done) return false;
        slots_[slot].c = nextChunk(cursor_, g_, chunk_);
        return true;
    }

    void format(size_t slot) override {
        Slot& s = slots_[slot];
        BufferSink sink{s.buf, s.buf + chunkTextBytes(chunk_)};
        const BodyChunk& c = s.c;
        s.ok = true;
        s.nq = INT32_MIN;
        if (c.part == BodyPart::points) {
            putFloatLines(sink, g_.xyz, c.begin, c.end, true);
        } else if (c.part == BodyPart::texture_vertices) {
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
    ChunkCursor cursor_ = startBody(g_);
    std::vector<Slot> slots_;
    int32_t nq_ = INT32_MIN;  // most corners of any facet written
};

}  // namespace

size_t chunkTextBytes(uint32_t chunk) {
    // budget + 1 units, and the line end of a last piece.
    return (size_t(chunk) + 1) * unit_text_max + 32;
}

bool writeGroupBodySplit(WriterPool* pool, Output& out, const Group& g, Totals& t, uint32_t chunk, char* memory) {
    assert(chunk > 0 && memory);
    TraditionalBody body(out, g, t, chunk, memory, poolSlots(pool));
    const bool ok = writeChunks(pool, body);
    if (body.nq() > t.Nq) t.Nq = body.nq();
    return ok;
}

}  // namespace quarlen
