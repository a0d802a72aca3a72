// The writer of the output options. A group is written in two steps: what
// depends on the points before it (the weld table, the non-finite points)
// is worked out in order on the run's thread; then the body is cut into
// chunks that are formatted on the run's threads and written in order. What
// depends on the facets before a chunk (the material line in force, the
// names counted, the material file's order) is settled as each chunk is
// written, so that the bytes are those of one thread.
#include "convert/obj/option_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "convert/obj/mtl.h"
#include "convert/run/file_names.h"
#include "convert/obj/option_lines.h"
#include "convert/options/weld.h"
#include "convert/obj/writer_pool.h"

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

enum Part { points, texture_vertices, facets, body_done };

constexpr int32_t no_material_line = INT32_MIN;

struct Chunk {
    Part part = points;
    int32_t begin = 0, end = 0;
    int32_t cm = -1;  // the material in force before the chunk
};

// One chunk, formatted by whichever thread took it. A chunk of facets
// leaves out the material line that its first material decision may need,
// which depends on the chunks before it: `firstAt` is where it goes.
struct Slot {
    Chunk c;
    Text text;
    bool ok = true, noMemory = false;
    size_t firstAt = 0;
    int32_t firstCm = no_material_line;  // the material of its first decision
    int32_t lastCm = no_material_line;   // of its last one
    std::vector<int32_t> materialLines;  // the slots of the material lines it wrote, in order
    CleanCounts counts;
    int32_t lines = 0, nq = INT32_MIN;  // facet lines written, most corners counted
    Corners corners;
    std::vector<CornerText> cornerText;  // a facet's corners as text, for its triangles
};

class OptionWriter final : public GroupWriter {
public:
    OptionWriter(Output& out, const OutputOptions& o, MaterialFile mtl, unsigned threads, uint32_t chunk)
        : out_(out), o_(o), mtl_(std::move(mtl)), pool_(threads, chunk) {
        if (!mtl_.name.empty()) nameLine("mtllib ", 7, baseName(mtl_.name.c_str()), false, false);
    }
    ~OptionWriter() override { freeWeld(weld_); }

    GroupWritten group(const char* name, const Group& g) override { return writeGroup(name, g); }

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
    class Body;

    void nameLine(const char* head, size_t headLen, const char* name, bool safe, bool material) {
        char* p = room(out_, nameLineMax(headLen, std::strlen(name)));
        done(out_, putNameLine(o_, p, head, headLen, name, safe, material));
    }

    void groupLine(const char* name) {
        if (o_.clean && !safeName(name, false)) ++counts_.names;
        nameLine("g ", 2, name, o_.clean, false);
    }

    // What a material line that was written means for the counts and the
    // material file, in the order the lines are written.
    void materialWritten(const Group& g, int32_t slot) {
        if (o_.clean) countFirstWritten(g, slot, named_, counts_);
        if (o_.mtl) useMaterialName(materials_, materialName(g, slot).s);
    }

    // What points begin to end - 1 mean before they are written: with
    // weld, their numbers and which are new; with clean, which have a
    // coordinate that is not finite. Done in order, as each chunk of points
    // is cut, so that the weld table is built while earlier chunks are
    // formatted. The points zeroed are counted in `c`, apart from the
    // counts that chunks being written add to. False when the weld table
    // cannot grow.
    bool preparePoints(const Group& g, int32_t begin, int32_t end, CleanCounts& c) {
        if (!o_.clean && !o_.weld) return true;
        if (o_.weld && !reserveWeld(weld_, size_t(end - begin))) return false;
        // In batches: each point's key, and its slot asked of memory, then
        // the lookups in order while the slots arrive.
        constexpr int32_t batch = 16;
        uint32_t keys[batch][3];
        for (int32_t first = begin; first < end; first += batch) {
            const int32_t last = std::min(end, first + batch);
            for (int32_t i = first; i < last; ++i) {
                float s[3];
                const bool finite = scaledPoint(g, i, o_.scale, s);
                if (o_.clean && !finite) {
                    badPoint_[size_t(i)] = 1;
                    ++c.pointsZeroed;
                }
                if (!o_.weld) continue;
                // Welding compares the stored bits, with clean's zeros.
                uint32_t* key = keys[i - first];
                for (int k = 0; k < 3; ++k)
                    key[k] = o_.clean && !std::isfinite(s[k]) ? 0 : bitCast<uint32_t>(pointAt(g, i, k));
                prefetchWeld(weld_, key[0], key[1], key[2]);
            }
            for (int32_t i = first; o_.weld && i < last; ++i) {
                const uint32_t* key = keys[i - first];
                bool added;
                const int32_t number = weldPoint(weld_, key[0], key[1], key[2], t_.dv, added);
                if (number == 0) return false;
                map_[size_t(i)] = number;
                added_[size_t(i)] = added;
                if (added) t_.dv = wrapAdd(t_.dv, 1);
            }
        }
        return true;
    }

    void prepareTextureVertices(const Group& g, int32_t begin, int32_t end, CleanCounts& c) {
        for (int32_t i = begin; o_.clean && i < end; ++i) {
            float uv[2];
            if (texturePoint(g, i, uv)) continue;
            badTex_[size_t(i)] = 1;
            ++c.textureZeroed;
        }
    }

    GroupWritten writeGroup(const char* name, const Group& g);

    Output& out_;
    const OutputOptions o_;
    MaterialFile mtl_;
    GroupPool pool_;
    Totals t_;  // next point and texture numbers, facet lines and most corners written
    WeldTable weld_;
    std::vector<int32_t> map_;                      // welded number of each point of the group
    std::vector<unsigned char> added_;              // welded: the point is new and written
    std::vector<unsigned char> badPoint_, badTex_;  // non-finite, per point of the group
    NamesWritten named_;                            // material slots of the group already counted
    int32_t written_ = -1;                          // the material of the group's last "usemtl" line
    CleanCounts counts_;
    MaterialList materials_;
};

// One group's body as chunks for the pool.
class OptionWriter::Body final : public ChunkedBody {
public:
    Body(OptionWriter& w, const Group& g, const Numbering& n, size_t slots)
        : w_(w), o_(w.o_), g_(g), n_(n), slots_(slots) {
        advance();
    }

    bool cut(size_t slot) override {
        if (part_ == body_done) return false;
        Chunk& c = slots_[slot].c;
        c.part = part_;
        c.begin = next_;
        c.cm = cm_;
        if (part_ != facets) {
            const int64_t n = part_ == points ? g_.np : g_.nt;
            c.end = static_cast<int32_t>(std::min<int64_t>(n, int64_t(next_) + w_.pool_.chunk()));
            if (part_ == texture_vertices) w_.prepareTextureVertices(g_, c.begin, c.end, prepared_);
            if (part_ == points && !w_.preparePoints(g_, c.begin, c.end, prepared_)) {
                noMemory_ = true;  // the chunks before it are written
                part_ = body_done;
                return false;
            }
        } else {
            // A facet's corners are its units, three per corner as triangles.
            uint64_t units = 0;
            const FacetsWalked walked = walkFacets(g_, next_, g_.nf, cm_, [&](int32_t, const Face& f, int32_t) {
                if (units >= w_.pool_.chunk()) return false;
                units += 1 + uint64_t(std::max(f.nc, 0)) * (o_.triangulate ? 3 : 1);
                return true;
            });
            c.end = walked.end;
            cm_ = walked.cm;
        }
        next_ = c.end;
        advance();
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
            if (s.c.part == facets)
                formatFacets(s);
            else
                formatFloats(s);
        } catch (const std::bad_alloc&) {
            s.noMemory = true;
        }
    }

    bool write(size_t slot) override {
        try {
            return writeSlot(slots_[slot]);
        } catch (const std::bad_alloc&) {
            noMemory_ = true;
            return false;
        }
    }

    bool noMemory() const { return noMemory_; }
    const CleanCounts& prepared() const { return prepared_; }

private:
    bool writeSlot(Slot& s) {
        if (s.noMemory) {
            noMemory_ = true;
            return false;
        }
        Output& out = w_.out_;
        if (s.c.part != facets || s.firstCm == no_material_line) {
            putBytes(out, s.text.data, s.text.len);
        } else {
            putBytes(out, s.text.data, s.firstAt);
            if (s.firstCm != w_.written_) {
                w_.nameLine("usemtl ", 7, materialName(g_, s.firstCm).s, o_.clean || o_.mtl, true);
                w_.materialWritten(g_, s.firstCm);
            }
            putBytes(out, s.text.data + s.firstAt, s.text.len - s.firstAt);
        }
        if (s.c.part == facets) {
            for (int32_t m : s.materialLines) w_.materialWritten(g_, m);
            if (s.lastCm != no_material_line) w_.written_ = s.lastCm;
            w_.counts_ += s.counts;
            w_.t_.Nf = wrapAdd(w_.t_.Nf, s.lines);
            w_.t_.Nq = std::max(w_.t_.Nq, s.nq);
        }
        return s.ok;
    }

    void advance() {
        while (part_ != body_done && next_ >= (part_ == points ? g_.np : part_ == texture_vertices ? g_.nt : g_.nf)) {
            part_ = Part(part_ + 1);
            next_ = 0;
        }
    }

    void formatFloats(Slot& s) {
        const bool three = s.c.part == points;
        for (int32_t i = s.c.begin; i < s.c.end; ++i) {
            if (three && o_.weld && !w_.added_[size_t(i)]) continue;
            char* p = s.text.room(float_line_max);
            if (!p) {
                s.noMemory = true;
                return;
            }
            float c[3];
            if (three) {
                writtenPoint(o_, g_, i, c);
                s.text.done(putFloatLine(o_, p, "v ", 2, c, 3));
            } else {
                writtenTexture(o_, g_, i, c);
                s.text.done(putFloatLine(o_, p, "vt ", 3, c, 2));
            }
        }
    }

    // The facet's lines, fanned into triangles from its first corner when
    // asked. An unchanged facet counts its stored corner count `nc` in the
    // closing comments, as the traditional output does.
    char* putFacetLines(Slot& s, char* p, int32_t nc) const {
        const Corners& c = s.corners;
        const size_t n = c.v.size();
        if (!o_.triangulate || n <= 3) {
            const int32_t counted = o_.clean || o_.triangulate ? int32_t(n) : nc;
            ++s.lines;
            s.nq = std::max(s.nq, counted);
            return putEnd(putCorners(p, c, nullptr, n), o_.lf);
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
            p = putEnd(p, o_.lf);
            ++s.lines;
            s.nq = std::max(s.nq, 3);
        }
        return p;
    }

    void formatFacets(Slot& s) {
        s.firstCm = s.lastCm = no_material_line;
        s.materialLines.clear();
        s.counts = CleanCounts{};
        s.lines = 0;
        s.nq = INT32_MIN;
        int32_t written = no_material_line;  // the material of the chunk's last material decision
        walkFacets(g_, s.c.begin, s.c.end, s.c.cm, [&](int32_t j, const Face& f, int32_t cm) {
            bool ok = true;
            if (o_.clean) {
                if (!cleanFacet(g_, j, n_, s.corners, s.counts)) return true;
            } else {
                ok = rawFacet(g_, j, n_, s.corners);
            }
            char* p = s.text.room(nameLineMax(7, material_size) + facetLinesMax(s.corners.v.size()));
            if (!p) {
                s.noMemory = true;
                return false;
            }
            // A material line only for a facet that is written.
            if (cm >= 0 && cm != written) {
                if (written == no_material_line) {
                    s.firstAt = s.text.len;
                    s.firstCm = cm;
                } else {
                    p = putNameLine(o_, p, "usemtl ", 7, materialName(g_, cm).s, o_.clean || o_.mtl, true);
                    s.materialLines.push_back(cm);
                }
                written = cm;
            }
            if (!ok) {
                // The corners before the bad one, with no line end, as traditionally.
                s.text.done(putCorners(p, s.corners, nullptr, s.corners.v.size()));
                s.ok = false;
                return false;
            }
            s.text.done(putFacetLines(s, p, f.nc));
            return true;
        });
        s.lastCm = written;
    }

    OptionWriter& w_;
    const OutputOptions& o_;
    const Group& g_;
    const Numbering n_;
    std::vector<Slot> slots_;
    Part part_ = points;
    int32_t next_ = 0;
    int32_t cm_ = -1;  // the material in force before the next chunk
    bool noMemory_ = false;
    CleanCounts prepared_;  // counted as chunks are cut
};

GroupWritten OptionWriter::writeGroup(const char* name, const Group& g) {
    groupLine(name);
    // The body's chunks number points and texture vertices from here.
    Numbering n;
    n.vbase = t_.dv;
    n.tbase = t_.dt;
    if (!o_.weld) t_.dv = wrapAdd(t_.dv, g.np);
    t_.dt = wrapAdd(t_.dt, g.nt);
    if (o_.weld) {
        map_.resize(size_t(g.np));
        added_.assign(size_t(g.np), 0);
        n.map = map_.data();
    }
    if (o_.clean) {
        badPoint_.assign(size_t(g.np), 0);
        badTex_.assign(size_t(g.nt), 0);
        named_.reset(g.nm);
        n.badPoint = badPoint_.data();
        n.badTex = badTex_.data();
    }
    written_ = -1;

    WriterPool* pool = pool_.forGroup(g);
    Body body(*this, g, n, poolSlots(pool));
    const bool ok = writeChunks(pool, body);
    counts_ += body.prepared();
    if (body.noMemory()) return GroupWritten::no_memory;
    return ok ? GroupWritten::done : GroupWritten::bad_value;
}

}  // namespace

std::unique_ptr<GroupWriter> optionWriter(Output& out, const OutputOptions& o, MaterialFile mtl, unsigned threads,
                                          uint32_t chunk) {
    return std::make_unique<OptionWriter>(out, o, std::move(mtl), threads, chunk);
}

}  // namespace quarlen
