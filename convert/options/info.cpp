#include "convert/options/info.h"

#include <cassert>
#include <utility>

#include "convert/options/materials_written.h"

namespace quarlen {

namespace {

void describeGroup(InfoReport& report, const char* name, const Group& g) {
    InfoGroup& ig = report.groups.emplace_back();
    ig.name = name;
    ig.points = g.np;
    ig.textureVertices = g.nt;
    for (int32_t i = 0; i < g.nm; ++i) ig.materials.emplace_back(materialName(g, i).s);

    // What the option writer with clean alone would count.
    CleanCounts& c = report.problems;
    if (!safeName(name, false)) ++c.names;
    std::vector<unsigned char> badPoint, badTex;
    markNonFinite(g, 1.0, badPoint, badTex, c);
    Numbering n;
    n.badPoint = badPoint.data();
    n.badTex = badTex.data();
    Corners corners;
    MaterialsWritten named;
    startGroupMaterials(named, g);
    walkFacets(g, 0, g.nf, -1, [&](int32_t j, const Face& f, int32_t cm) {
        ++ig.facets[f.nc];
        if (cleanFacet(g, j, n, corners, c) && cm >= 0) materialWritten(named, g, cm);
        return true;
    });
    c.names += named.unsafeNames;
}

class ReportWriter final : public GroupWriter {
public:
    explicit ReportWriter(InfoReport& report) : report_(report) {}
    GroupWritten group(const char* name, const Group& g) override {
        describeGroup(report_, name, g);
        return GroupWritten::done;
    }

private:
    InfoReport& report_;
};

class ReportingWriter final : public GroupWriter {
public:
    ReportingWriter(InfoReport& report, std::unique_ptr<GroupWriter> writer)
        : report_(report), writer_(std::move(writer)) {}
    GroupWritten group(const char* name, const Group& g) override {
        const GroupWritten written = writer_->group(name, g);
        if (written == GroupWritten::done) describeGroup(report_, name, g);
        return written;
    }
    void failedGroupLine(const char* name) override { writer_->failedGroupLine(name); }
    bool finishSideFiles() override { return writer_->finishSideFiles(); }
    bool finishOutput(const char* failedGroup) override { return writer_->finishOutput(failedGroup); }
    void closing() override { writer_->closing(); }
    std::string lastNotice() const override { return writer_->lastNotice(); }

private:
    InfoReport& report_;
    std::unique_ptr<GroupWriter> writer_;
};

}  // namespace

std::unique_ptr<GroupWriter> reportingWriter(InfoReport& report, std::unique_ptr<GroupWriter> writer) {
    assert(writer);
    return std::make_unique<ReportingWriter>(report, std::move(writer));
}

std::unique_ptr<GroupWriter> reportWriter(InfoReport& report) { return std::make_unique<ReportWriter>(report); }

}  // namespace quarlen
