#include "convert/options/info.h"

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
    NamesWritten named;
    named.reset(g.nm);
    walkFacets(g, 0, g.nf, -1, [&](int32_t j, const Face& f, int32_t cm) {
        ++ig.facets[f.nc];
        if (cleanFacet(g, j, n, corners, c) && cm >= 0) countFirstWritten(g, cm, named, c);
        return true;
    });
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

}  // namespace

std::unique_ptr<GroupWriter> reportWriter(InfoReport& report) { return std::make_unique<ReportWriter>(report); }

}  // namespace quarlen
