// The OBJ writer: the "mtllib" line, each group's line and body
// (obj_body.h), NAME.mtl, the closing comments and the line that says what
// clean changed. A group's points are prepared by option_points.h and its
// material lines settled by material_lines.h.
#include "convert/obj/obj_writer.h"

#include <string>
#include <vector>

#include "convert/obj/obj_body.h"
#include "convert/obj/mtl.h"
#include "convert/obj/option_lines.h"
#include "convert/options/info.h"
#include "convert/format/file_names.h"

namespace quarlen {

namespace {

class ObjWriter final : public GroupWriter {
public:
    ObjWriter(Output& out, const OutputOptions& o, MaterialFile mtl, unsigned threads, uint32_t chunk,
              InfoCount* count)
        : out_(out), o_(o), mtl_(std::move(mtl)), pool_(threads, chunk), count_(count) {
        if (!mtl_.name.empty()) writeNameLine(out_, o_, NameLine::mtllib, baseName(mtl_.name.c_str()));
    }

    GroupWritten group(const char* name, const Group& g) override {
        groupLine(name);
        if (count_) startGroupCount(*count_, name, g);
        // The body's chunks number points and texture vertices from here.
        Numbering n;
        n.vbase = t_.dv;
        n.tbase = t_.dt;
        if (!o_.weld) t_.dv = wrapAdd(t_.dv, g.np);
        t_.dt = wrapAdd(t_.dt, g.nt);
        startGroupPoints(points_, o_, g, n);
        startGroupMaterials(materials_, g);
        CleanCounts prepared;
        const BodyGroup body{out_, o_, g, n, points_, t_.dv, prepared, materials_, t_, counts_, count_};
        // Counts are taken in the order of the facets, on one thread.
        WriterPool* pool = count_ ? nullptr : pool_.forGroup(g);
        const GroupWritten written = writeBody(pool, pool_.chunk(), slots_, body);
        counts_ += prepared;
        return written;
    }

    void failedGroupLine(const char* name) override { groupLine(name); }

    bool finishSideFiles() override {
        if (mtl_.name.empty()) return true;
        const std::string text = mtlText(materials_.run.list, o_.lf);
        if (mtl_.sink.write) return mtl_.sink.write(mtl_.sink.ctx, text.data(), text.size());
        return writeWholeFile(mtl_.name.c_str(), text);
    }

    void closing() override { done(out_, putClosing(room(out_, closing_text_max), t_, o_.lf)); }

    std::string lastNotice() const override {
        if (!o_.clean) return "";
        CleanCounts counts = counts_;
        counts.names += materials_.run.unsafeNames;
        const std::string what = describeCounts(counts);
        return what.empty() ? what : "cleaned: " + what;
    }

private:
    void groupLine(const char* name) {
        if (o_.clean && !safeName(name, false)) ++counts_.names;
        writeNameLine(out_, o_, NameLine::group, name);
    }

    Output& out_;           // the run's output
    const OutputOptions o_;  // the options
    MaterialFile mtl_;      // where NAME.mtl goes, if anywhere
    GroupPool pool_;        // the threads for large groups
    InfoCount* const count_;  // --info's, or null
    Totals t_;  // next point and texture numbers, facet lines and most corners written
    PointPrep points_;           // the group's points as the options prepare them
    MaterialLines materials_;    // the material lines written, across chunks
    CleanCounts counts_;         // what --clean changed, for the last notice
    std::vector<BodySlot> slots_;  // the chunks' memory, kept from group to group
};

}  // namespace

std::unique_ptr<GroupWriter> objWriter(Output& out, const OutputOptions& o, MaterialFile mtl, unsigned threads,
                                       uint32_t chunk, InfoCount* count) {
    return std::make_unique<ObjWriter>(out, o, std::move(mtl), threads, chunk, count);
}

}  // namespace quarlen
