#include "convert/obj/obj_body.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <vector>

#include "convert/obj/body_text.h"

namespace quarlen {

struct BodySlots {
    std::vector<BodySlot> slots;
};

void BodySlotsFree::operator()(BodySlots* s) const { delete s; }
BodyMemory newBodyMemory() { return BodyMemory(new BodySlots); }

namespace {

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
        s.materials.reset();
        s.counts = CleanCounts{};
        s.lines = 0;
        s.nq = INT32_MIN;  // for a chunk of lines
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
