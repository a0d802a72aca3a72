// The GLB writer: sorts each group's facets, as --clean --triangulate make
// them, into one primitive per material in force and presence of texture
// corners, numbers their vertices (vertex_table), spills their data
// (spill) and keeps their description (scene); once the input has been
// read, writes the JSON part (scene_json) and the file (container).
#include "convert/glb/glb_writer.h"

#include <cassert>
#include <string>
#include <vector>

#include "convert/glb/container.h"
#include "convert/glb/json_text.h"
#include "convert/glb/scene.h"
#include "convert/glb/scene_json.h"
#include "convert/glb/spill.h"
#include "convert/glb/vertex_table.h"
#include "convert/obj/float_text.h"
#include "convert/options/clean.h"
#include "convert/options/facet_corners.h"
#include "convert/options/info.h"
#include "convert/options/materials_written.h"
#include "convert/format/rsr.h"
#include "convert/format/texts.h"

namespace quarlen {

namespace {

class GlbWriter final : public GroupWriter {
public:
    GlbWriter(Output& out, double scale, bool spillInMemory, InfoCount* count)
        : out_(out), scale_(scale), spill_(spillInMemory), count_(count) {}

    GroupWritten group(const char* name, const Group& g) override {
        addNode(name);
        if (count_) startGroupCount(*count_, name, g);
        sortFacets(g);
        for (size_t b = 0; b < used_; ++b) spillPrimitive(g, builds_[b]);
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

    // Sorts the group's triangles into primitives.
    void sortFacets(const Group& g) {
        // A GLB has no points written with 0: only the facets left out count.
        CleanCounts zeroed;
        markNonFinite(g, scale_, badPoint_, badTex_, zeroed);
        Numbering n;
        n.vbase = 0;  // corners as the group's own point and texture numbers
        n.tbase = 0;
        n.badPoint = badPoint_.data();
        n.badTex = badTex_.data();
        startGroupMaterials(materials_, g);
        slotPrimitive_.assign(2 * (size_t(g.nm) + 1), -1);
        used_ = 0;
        table_.reset(g);
        Corners& c = corners_;
        walkFacets(g, 0, g.nf, -1, [&](int32_t j, const Face& f, int32_t cm) {
            if (count_) countFacet(*count_, g, j, f, cm);
            if (!cleanFacet(g, j, n, c, counts_)) return true;
            const bool textured = !c.t.empty();
            const int32_t b = primitiveOf(g, cm, textured);
            PrimitiveBuild& build = builds_[size_t(b)];
            for (size_t i = 0; i + 2 < c.v.size(); ++i) {
                size_t at[3];
                fanTriangle(i, at);
                for (const size_t k : at) table_.addCorner(b, build, c.v[k], textured ? c.t[k] : -1);
            }
            return true;
        });
    }

    // Writes a primitive's data to the spill as layoutOf places it.
    void spillPrimitive(const Group& g, const PrimitiveBuild& b) {
        assert(b.point.size() == b.texture.size() && b.index.size() % 3 == 0 && !b.index.empty());
        GlbPrimitive& p = scene_.primitives.emplace_back();
        p.material = b.material;
        p.textured = b.textured;
        p.vertices = static_cast<uint32_t>(b.point.size());
        p.indices = static_cast<uint32_t>(b.index.size());
        p.at = spill_.size();
        for (size_t v = 0; v < b.point.size(); ++v) {
            float s[3];
            scaledPoint(g, b.point[v], scale_, s);
            for (int k = 0; k < 3; ++k) {
                if (v == 0 || s[k] < p.min[k]) p.min[k] = s[k];
                if (v == 0 || s[k] > p.max[k]) p.max[k] = s[k];
                spill_.put32(bitCast<uint32_t>(s[k]));
            }
        }
        // glTF's texture origin is the top-left corner, OBJ's the bottom-left.
        if (b.textured) {
            for (const int32_t t : b.texture) {
                float c[2];
                texturePoint(g, t, c);
                spill_.put32(bitCast<uint32_t>(c[0]));
                spill_.put32(bitCast<uint32_t>(1.0f - c[1]));
            }
        }
        spillIndices(b.index, wideIndices(p.vertices), p.vertices);
        assert(spill_.size() == layoutOf(p).end && "the data lies where the JSON part says");
    }

    // 16-bit indices go in pairs; an odd count ends with a 0 of padding.
    void spillIndices(const std::vector<uint32_t>& index, bool wide, [[maybe_unused]] uint32_t vertices) {
        if (wide) {
            for (const uint32_t i : index) {
                assert(i < vertices);
                spill_.put32(i);
            }
            return;
        }
        for (size_t k = 0; k < index.size(); k += 2) {
            const uint32_t second = k + 1 < index.size() ? index[k + 1] : 0;
            assert(index[k] < vertices && second < vertices && vertices <= 65535);
            spill_.put32(index[k] | second << 16);
        }
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
    VertexTable table_;
    Corners corners_;
};

}  // namespace

std::unique_ptr<GroupWriter> glbWriter(Output& out, double scale, bool spillInMemory, InfoCount* count) {
    return std::make_unique<GlbWriter>(out, scale, spillInMemory, count);
}

}  // namespace quarlen
