#include "convert/obj/obj_body.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <vector>

#include "convert/obj/facet_text.h"
#include "convert/obj/point_text.h"

namespace quarlen {

namespace {

// A chunk's facet lines into a sink of type Sink, for one choice of
// options: the loop that fits them, chosen once per group.
template <class Sink>
using PutFacets = bool (*)(const BodyGroup&, BodySlot&, Sink&, const BodyChunk&);

template <class Sink>
PutFacets<Sink> facetLoop(const OutputOptions& o) {
    if (plainFacets(o)) return o.lf ? putFacets<true, true, Sink> : putFacets<true, false, Sink>;
    return o.lf ? putFacets<false, true, Sink> : putFacets<false, false, Sink>;
}

// The one driver of a body: cuts it into chunks, formats each into its
// slot's text (or, without a pool, straight into the output) and writes
// them in order, settling what each wrote.
class BodyWriter final : public ChunkedBody {
public:
    BodyWriter(const BodyGroup& b, uint32_t chunk, std::vector<BodySlot>& slots, bool straight)
        : b_(b), chunk_(chunk), slots_(slots), straight_(straight) {}

    bool cut(size_t slot) override {
        if (cursor_.part == BodyPart::done) return false;
        const BodyGroup& b = b_;
        BodyChunk& c = slots_[slot].c;
        // Points go in chunks either way: --weld reserves its table a chunk
        // at a time, never for a whole group of points it may hold already.
        if (cursor_.part != BodyPart::facets)
            c = cutLines(cursor_, b.g, chunk_);
        else if (straight_)
            c = cutRest(cursor_, b.g);
        else
            c = cutFacetLines(cursor_, b.g, chunk_, plainFacets(b.o), b.o.triangulate ? 3 : 1);
        if (c.part == BodyPart::texture_vertices)
            prepareTextureVertices(b.points, b.o, b.g, c.begin, c.end, b.prepared);
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
        // Straight into the output, the material line last written is known.
        s.materials.reset(straight_ ? b_.materials.written : no_material_line);
        s.counts = CleanCounts{};
        s.lines = 0;
        s.nq = INT32_MIN;  // for a chunk of lines
        try {
            if (straight_) {
                OutputSink out{b_.out};
                if (s.c.part == BodyPart::facets)
                    straightFacets_(b_, s, out, s.c);
                else
                    putFloats(b_, s, out, s.c);
            } else if (s.c.part == BodyPart::facets) {
                chunkFacets_(b_, s, s.text, s.c);
            } else {
                putFloats(b_, s, s.text, s.c);
            }
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
        // Text formatted straight into the output is there already.
        const size_t len = straight_ ? 0 : s.text.len;
        try {
            if (s.c.part != BodyPart::facets) {
                if (len) putBytes(b.out, s.text.data, len);
                return s.ok;
            }
            writeFacetChunk(b.out, b.o, b.g, b.materials, s.materials, s.text.data, len);
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
    const BodyGroup& b_;
    const uint32_t chunk_;               // units a chunk holds, about
    std::vector<BodySlot>& slots_;       // one for each chunk in hand
    const bool straight_;                // no pool: straight into the output, the facets as one chunk
    ChunkCursor cursor_ = startBody(b_.g);
    PutFacets<OutputSink> straightFacets_ = facetLoop<OutputSink>(b_.o);
    PutFacets<ChunkText> chunkFacets_ = facetLoop<ChunkText>(b_.o);
    bool noMemory_ = false;
};

}  // namespace

GroupWritten writeBody(WriterPool* pool, uint32_t chunk, std::vector<BodySlot>& slots, const BodyGroup& group) {
    assert(chunk > 0);
    slots.resize(std::max<size_t>(slots.size(), poolSlots(pool)));
    BodyWriter body(group, chunk, slots, !pool);
    const bool ok = writeChunks(pool, body);
    if (body.noMemory()) return GroupWritten::no_memory;
    return ok ? GroupWritten::done : GroupWritten::bad_value;
}

}  // namespace quarlen
