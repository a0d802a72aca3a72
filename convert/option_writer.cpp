#include "convert/option_writer.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "convert/clean.h"
#include "convert/float_text.h"
#include "convert/mtl.h"
#include "convert/obj_lines.h"
#include "convert/weld.h"

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

class OptionWriter final : public GroupWriter {
public:
    OptionWriter(Output& out, const OutputOptions& o, MaterialFile mtl) : out_(out), o_(o), mtl_(std::move(mtl)) {
        if (!mtl_.name.empty()) nameLine("mtllib ", 7, baseName(mtl_.name.c_str()), false, false);
    }
    ~OptionWriter() override { freeWeld(weld_); }

    GroupWritten group(const char* name, const Group& g) override {
        try {
            return writeGroup(name, g);
        } catch (const std::bad_alloc&) {
            return GroupWritten::no_memory;
        }
    }

    void failedGroupLine(const char* name) override { groupLine(name); }

    bool finishSideFiles() override {
        if (mtl_.name.empty()) return true;
        const std::string text = mtlText(materials_, o_.lf);
        if (mtl_.sink.write) return mtl_.sink.write(mtl_.sink.ctx, text.data(), text.size());
        return writeWholeFile(mtl_.name.c_str(), text);
    }

    void closing() override { done(out_, putClosing(room(out_, closing_text_max), t_, o_.lf)); }

    std::string lastNotice() const override {
        if (!o_.clean) return "";
        const std::string what = describeCounts(counts_);
        return what.empty() ? what : "cleaned: " + what;
    }

private:
    char* putCoordinate(char* p, float f) const {
        if (o_.exact && std::isfinite(f)) return shortestFloatText(p, p + float_text_max, f);
        return formatFloat(p, f);
    }

    // A group or material line; with `safe`, the name made safe.
    void nameLine(const char* head, size_t headLen, const char* name, bool safe, bool material) {
        char* p = putText(room(out_, headLen + 2 * std::strlen(name) + 16), head, headLen);
        p = safe ? putSafeName(p, name, material) : putName(p, name, SIZE_MAX, o_.lf);
        done(out_, putEnd(p, o_.lf));
    }

    void groupLine(const char* name) {
        if (o_.clean && !safeName(name, false)) ++counts_.names;
        nameLine("g ", 2, name, o_.clean, false);
    }

    void floatLine(const char* head, size_t headLen, const float* c, int n) {
        char* p = putText(room(out_, headLen + 3 * float_text_max + 4), head, headLen);
        for (int k = 0; k < n; ++k) {
            if (k) *p++ = ' ';
            p = putCoordinate(p, c[k]);
        }
        done(out_, putEnd(p, o_.lf));
    }

    // Point lines; with weld only points not seen before, and map_ gets
    // each point's number. False when the weld table cannot grow.
    bool writePoints(const Group& g) {
        if (o_.clean) badPoint_.assign(size_t(g.np), 0);
        if (o_.weld) map_.resize(size_t(g.np));
        for (int32_t i = 0; i < g.np; ++i) {
            float s[3];
            // With clean, 0 for each coordinate that is not finite once
            // scaled; welding compares the stored bits, with clean's zeros.
            uint32_t key[3];
            const bool finite = scaledPoint(g, i, o_.scale, s);
            for (int k = 0; k < 3; ++k) {
                key[k] = bitCast<uint32_t>(pointAt(g, i, k));
                if (o_.clean && !std::isfinite(s[k])) s[k] = 0, key[k] = 0;
            }
            if (o_.clean && !finite) {
                badPoint_[size_t(i)] = 1;
                ++counts_.pointsZeroed;
            }
            if (o_.weld) {
                bool added;
                const int32_t number = weldPoint(weld_, key[0], key[1], key[2], t_.dv, added);
                if (number == 0) return false;
                map_[size_t(i)] = number;
                if (!added) continue;
            }
            // 0 - z rather than -z, so that no "-0" appears for z = 0.
            const float w[3] = {s[0], o_.zUp ? 0.0f - s[2] : s[1], o_.zUp ? s[1] : s[2]};
            floatLine("v ", 2, w, 3);
            t_.dv = wrapAdd(t_.dv, 1);
        }
        return true;
    }

    void writeTextureVertices(const Group& g) {
        if (o_.clean) badTex_.assign(size_t(g.nt), 0);
        for (int32_t i = 0; i < g.nt; ++i) {
            float c[2];
            if (!texturePoint(g, i, c) && o_.clean) {
                for (float& f : c)
                    if (!std::isfinite(f)) f = 0;
                badTex_[size_t(i)] = 1;
                ++counts_.textureZeroed;
            }
            floatLine("vt ", 3, c, 2);
        }
        t_.dt = wrapAdd(t_.dt, g.nt);
    }

    void writeMaterialLine(const Group& g, int32_t slot) {
        const MaterialName stored = materialName(g, slot);
        const char* name = stored.s;
        if (o_.clean && !named_[size_t(slot)]) {
            named_[size_t(slot)] = 1;
            if (!safeName(name, true)) ++counts_.names;
        }
        nameLine("usemtl ", 7, name, o_.clean || o_.mtl, true);
        if (o_.mtl) {
            char written[material_size + 8];
            useMaterial(materials_, std::string(written, putSafeName(written, name, true)));
        }
    }

    // The corners after a facet's "f": c's corners at[0..n) or, without
    // at, the first n.
    void putCorners(const Corners& c, const size_t* at, size_t n) {
        char* p = room(out_, 1);
        *p++ = 'f';
        done(out_, p);
        for (size_t i = 0; i < n; ++i) {
            const size_t k = at ? at[i] : i;
            p = room(out_, 2 * int_text_max + 2);
            *p++ = ' ';
            p = formatInt(p, c.v[k]);
            if (k < c.t.size()) {
                *p++ = '/';
                p = formatInt(p, c.t[k]);
            }
            done(out_, p);
        }
    }

    void facetLine(const Corners& c, const size_t* at, size_t n, int32_t counted) {
        putCorners(c, at, n);
        done(out_, putEnd(room(out_, 2), o_.lf));
        t_.Nf = wrapAdd(t_.Nf, 1);
        if (counted > t_.Nq) t_.Nq = counted;
    }

    // Writes one facet, fanned into triangles from its first corner when
    // asked. An unchanged facet counts its stored corner count `nc` in the
    // closing comments, as the traditional output does.
    void writeFacet(const Corners& c, int32_t nc) {
        const size_t n = c.v.size();
        if (!o_.triangulate || n <= 3) {
            facetLine(c, nullptr, n, o_.clean || o_.triangulate ? int32_t(n) : nc);
            return;
        }
        for (size_t i = 1; i + 1 < n; ++i) {
            const size_t at[3] = {0, i, i + 1};
            facetLine(c, at, 3, 3);
        }
    }

    GroupWritten writeGroup(const char* name, const Group& g) {
        groupLine(name);
        Numbering n;
        n.vbase = t_.dv;
        if (!writePoints(g)) return GroupWritten::no_memory;
        n.tbase = t_.dt;
        writeTextureVertices(g);
        if (o_.weld) n.map = map_.data();
        if (o_.clean) {
            n.badPoint = badPoint_.data();
            n.badTex = badTex_.data();
            named_.assign(size_t(g.nm), 0);
        }

        int32_t cm = -1;       // the material in force, as the traditional output tracks it
        int32_t written = -1;  // the material of the last "usemtl" line written for this group
        for (int32_t j = 0; j < g.nf; ++j) {
            const Face f = faceAt(g, j);
            cm = materialAfter(g, cm, f.mat);
            bool ok = true;
            if (o_.clean) {
                if (!cleanFacet(g, j, n, corners_, counts_)) continue;
            } else {
                ok = rawFacet(g, j, n, corners_);
            }
            // A material line only for a facet that is written.
            if (cm >= 0 && cm != written) {
                writeMaterialLine(g, cm);
                written = cm;
            }
            if (!ok) {
                putCorners(corners_, nullptr, corners_.v.size());  // no line end, as traditionally
                return GroupWritten::bad_value;
            }
            writeFacet(corners_, f.nc);
        }
        return GroupWritten::done;
    }

    Output& out_;
    const OutputOptions o_;
    MaterialFile mtl_;
    Totals t_;  // next point and texture numbers, facet lines and most corners written
    WeldTable weld_;
    std::vector<int32_t> map_;                     // welded number of each point of the group
    std::vector<unsigned char> badPoint_, badTex_;  // non-finite, per point of the group
    std::vector<unsigned char> named_;              // material slots of the group already seen
    Corners corners_;
    CleanCounts counts_;
    MaterialList materials_;
};

}  // namespace

std::unique_ptr<GroupWriter> optionWriter(Output& out, const OutputOptions& o, MaterialFile mtl) {
    return std::make_unique<OptionWriter>(out, o, std::move(mtl));
}
