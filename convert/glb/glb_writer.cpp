// The GLB writer: sorts each group's facets, as --clean --triangulate make
// them, into one primitive per material in force and presence of texture
// corners; lays out each primitive's data (primitive_data), on several
// threads for a large group, spills it in order (spill) and keeps its
// description (scene); once the input has been read, writes the JSON part
// (scene_json) and the file (container).
#include "convert/glb/glb_writer.h"

#include <atomic>
#include <cassert>
#include <string>
#include <vector>

#include "convert/glb/container.h"
#include "convert/glb/facet_sort.h"
#include "convert/glb/json_text.h"
#include "convert/glb/scene.h"
#include "convert/glb/scene_json.h"
#include "convert/glb/primitive_data.h"
#include "convert/glb/spill.h"
#include "convert/parallel/writer_pool.h"
#include "convert/options/clean.h"
#include "convert/options/facet_corners.h"
#include "convert/options/info.h"
#include "convert/options/materials_written.h"
#include "convert/format/rsr.h"
#include "convert/format/texts.h"

namespace quarlen {

namespace {

// A group's body goes through the pool twice: its facets in runs, sorted on
// any thread and handed to primitives in order (FacetRuns); then its
// primitives, laid out on any thread and spilled in order
// (PrimitiveLayouts).
class GlbWriter final : public GroupWriter {
public:
    // Counting for --info keeps to one thread: facets are counted in order.
    GlbWriter(Output& out, double scale, bool spillInMemory, unsigned threads, uint32_t chunk, InfoCount* count)
        : out_(out), scale_(scale), spill_(spillInMemory), count_(count), pool_(count ? 1 : threads, chunk) {}

    GroupWritten group(const char* name, const Group& g) override {
        addNode(name);
        if (count_) startGroupCount(*count_, name, g);
        spill_.spillHeld();
        startGroup(g);
        WriterPool* pool = pool_.forGroup(g);
        if (slots_.size() < poolSlots(pool)) slots_.resize(poolSlots(pool));
        while (spaces_.size() < slots_.size()) spaces_.push_back(std::make_unique<SharedSpace>());
        FacetRuns runs(*this);
        writeChunks(pool, runs);
        PrimitiveLayouts layouts(*this);
        writeChunks(pool, layouts);  // a spill tells its failure at the end
        scene_.nodes.back().count = used_;
        return GroupWritten::done;
    }

    // The group whose reading failed becomes a node without a mesh, as the
    // OBJ output ends with its "g" line. A failed write to the spill is
    // told here.
    bool finishOutput(const char* failedGroup) override {
        if (failedGroup) addNode(failedGroup);
        scene_.binarySize = spill_.size();
        return writeGlb(out_, sceneJson(scene_), spill_);
    }

    std::string lastNotice() const override {
        std::string what = describeCounts(counts_);
        if (latin1Names_) {
            if (!what.empty()) what += ", ";
            what += counted(latin1Names_, "name", "names") + " not UTF-8, read as Latin-1";
        }
        return what.empty() ? what : "cleaned: " + what;
    }

private:
    void addNode(const char* name) {
        GlbNode& node = scene_.nodes.emplace_back();
        if (appendUtf8(node.name, name)) ++latin1Names_;
        node.first = scene_.primitives.size();
    }

    // The material of a group's material slot, made at the first facet
    // written with it: materials with the same stored name are one.
    int32_t materialOf(const Group& g, int32_t slot) {
        bool added;
        const int32_t material = materialWritten(materials_, g, slot, &added);
        if (added) {
            GlbMaterial& m = scene_.materials.emplace_back();
            if (appendUtf8(m.name, materialName(g, slot).s)) ++latin1Names_;
            m.colour = materials_.listed[size_t(material)];
        }
        return material;
    }

    // The primitive for facets in material slot cm (-1: none), with or
    // without texture corners: one per material of the group, and per
    // presence of texture corners, since a primitive's vertices all have
    // them or none do.
    int32_t primitiveOf(const Group& g, int32_t cm, bool textured) {
        int32_t& known = slotPrimitive_[2 * size_t(cm + 1) + textured];
        if (known >= 0) return known;
        const int32_t material = cm < 0 ? -1 : materialOf(g, cm);
        for (size_t b = 0; b < used_; ++b)
            if (builds_[b].material == material && builds_[b].textured == textured) return known = int32_t(b);
        if (used_ == builds_.size()) builds_.emplace_back();
        builds_[used_].reset(material, textured);
        return known = int32_t(used_++);
    }

    void startGroup(const Group& g) {
        // A GLB has no points written with 0: only the facets left out count.
        CleanCounts zeroed;
        markNonFinite(g, scale_, badPoint_, badTex_, zeroed);
        numbering_.vbase = 0;  // corners as the group's own point and texture numbers
        numbering_.tbase = 0;
        numbering_.badPoint = badPoint_.data();
        numbering_.badTex = badTex_.data();
        startGroupMaterials(materials_, g);
        slotPrimitive_.assign(2 * (size_t(g.nm) + 1), -1);
        used_ = 0;
        group_ = &g;
        cursor_ = ChunkCursor{.part = BodyPart::facets};
        runsCut_ = 0;
        settle(cursor_, g);
    }

    // The first pass: the group's facets cut into runs, each sorted on any
    // thread and handed to its primitives in order.
    struct FacetRuns final : ChunkedBody {
        explicit FacetRuns(GlbWriter& writer) : w(writer) {}
        bool cut(size_t slot) override { return w.cutRun(slot); }
        void format(size_t slot) override { w.sortRun(slot); }
        bool write(size_t slot) override { return w.takeRun(slot); }
        GlbWriter& w;
    };

    // The second pass: each primitive laid out on any thread and spilled in
    // order.
    struct PrimitiveLayouts final : ChunkedBody {
        explicit PrimitiveLayouts(GlbWriter& writer) : w(writer) { w.next_ = 0; }
        bool cut(size_t slot) override { return w.cutPrimitive(slot); }
        void format(size_t slot) override { w.layOut(slot); }
        bool write(size_t slot) override { return w.spill(slot); }
        GlbWriter& w;
    };

    bool cutRun(size_t slot) {
        if (cursor_.part == BodyPart::done) return false;
        const uint64_t corners = 8 * uint64_t(pool_.chunk());
        // Cut on the run's thread while other slots' runs are sorted: a
        // run's place in memory never moves.
        if (runsCut_ == runs_.size()) runs_.push_back(std::make_unique<SortedFacets>());
        slots_[slot].run = runsCut_;
        slots_[slot].sorted = runs_[runsCut_++].get();
        slots_[slot].chunk = cutFacets(cursor_, *group_, corners,
                                       [](int32_t, const Face& f) { return uint64_t(f.nc > 1 ? f.nc : 1); });
        return true;
    }

    void sortRun(size_t slot) { sortFacets(*group_, numbering_, slots_[slot].chunk, *slots_[slot].sorted, count_); }

    // Hands the run's facets to their primitives, in order.
    bool takeRun(size_t slot) {
        const uint32_t r = static_cast<uint32_t>(slots_[slot].run);
        const SortedFacets& run = *slots_[slot].sorted;
        counts_ += run.counts;
        for (uint32_t k = 0; k < run.spans.size(); ++k) {
            const FacetSpan& span = run.spans[k];
            PrimitiveBuild& b = builds_[size_t(primitiveOf(*group_, kindSlot(span.kind), kindTextured(span.kind)))];
            if (!b.pieces.empty() && b.pieces.back().run == r && b.pieces.back().end == k)
                ++b.pieces.back().end;
            else
                b.pieces.push_back({r, k, k + 1});
            b.corners += span.corners;
            b.triangles += span.corners - 2 * span.facets;
        }
        return true;
    }

    bool cutPrimitive(size_t slot) {
        if (next_ == used_) return false;
        slots_[slot].build = next_++;
        return true;
    }

    void layOut(size_t slot) {
        SharedSpace& s = claimSpace();
        layOutPrimitive(*group_, scale_, builds_[slots_[slot].build], runs_, s.space, slots_[slot].data);
        s.busy.store(false, std::memory_order_release);
    }

    // The first numbering space no other layout holds: a thread lays out
    // one primitive at a time, so the threads only ever touch the first few.
    struct SharedSpace {
        NumberingSpace space;
        std::atomic<bool> busy{false};
    };
    SharedSpace& claimSpace() {
        for (const auto& s : spaces_)
            if (!s->busy.exchange(true, std::memory_order_acquire)) return *s;
        assert(false && "no more layouts at once than slots");
        return *spaces_.front();
    }

    bool spill(size_t slot) {
        PrimitiveData& d = slots_[slot].data;
        GlbPrimitive& p = scene_.primitives.emplace_back(d.p);
        p.at = spill_.size();
        spill_.append(d.bytes);
        assert(spill_.size() == layoutOf(p).end && "the data lies where the JSON part says");
        return true;
    }

    Output& out_;
    const double scale_;
    GlbSpill spill_;
    InfoCount* const count_;  // --info's, or null
    GlbScene scene_;
    MaterialsWritten materials_;  // scene_.materials in order, with their colours
    CleanCounts counts_;
    int64_t latin1Names_ = 0;  // names with bytes read as Latin-1
    // Per group:
    std::vector<unsigned char> badPoint_, badTex_;
    std::vector<int32_t> slotPrimitive_;  // builds_ index of each (slot, textured), -1: none yet
    std::vector<PrimitiveBuild> builds_;
    size_t used_ = 0;  // builds_ in use by this group
    GroupPool pool_;
    struct Slot {
        BodyChunk chunk;   // the facets being sorted
        size_t run = 0;    // the runs_ they are sorted into
        SortedFacets* sorted = nullptr;  // that run
        size_t build = 0;  // the builds_ being laid out in data
        PrimitiveData data;
    };
    std::vector<Slot> slots_;  // one for each slot of the pool
    std::vector<std::unique_ptr<SharedSpace>> spaces_;  // as many, claimed by each layout
    const Group* group_ = nullptr;     // the group being written
    Numbering numbering_;              // its corners as the group's own numbers
    ChunkCursor cursor_;               // the facets not yet cut into runs
    std::vector<std::unique_ptr<SortedFacets>> runs_;  // the group's facets sorted, runsCut_ in use
    size_t runsCut_ = 0;
    size_t next_ = 0;                  // the first of builds_ not yet cut for its layout
};

}  // namespace

std::unique_ptr<GroupWriter> glbWriter(Output& out, double scale, bool spillInMemory, unsigned threads,
                                       uint32_t chunk, InfoCount* count) {
    return std::make_unique<GlbWriter>(out, scale, spillInMemory, threads, chunk, count);
}

}  // namespace quarlen
