#include "convert/options/info.h"

#include <utility>

namespace quarlen {

void startGroupCount(InfoCount& c, const char* name, const Group& g) {
    c.group = InfoGroup{};
    c.group.name = name;
    c.group.points = g.np;
    c.group.textureVertices = g.nt;
    for (int32_t i = 0; i < g.nm; ++i) c.group.materials.emplace_back(materialName(g, i).s);
    c.problems = CleanCounts{};
    if (!safeName(name, false)) ++c.problems.names;
    markNonFinite(g, 1.0, c.badPoint, c.badTex, c.problems);
    c.n = Numbering{};
    c.n.badPoint = c.badPoint.data();
    c.n.badTex = c.badTex.data();
    c.named.unsafeNames = 0;
    startGroupMaterials(c.named, g);
}

void countFacet(InfoCount& c, const Group& g, int32_t j, const Face& f, int32_t cm) {
    ++c.group.facets[f.nc];
    if (cleanFacet(g, j, c.n, c.corners, c.problems) && cm >= 0) materialWritten(c.named, g, cm);
}

void addGroupCount(InfoReport& report, InfoCount& c) {
    c.problems.names += c.named.unsafeNames;
    report.problems += c.problems;
    report.groups.push_back(std::move(c.group));
}

namespace {

class ReportWriter final : public GroupWriter {
public:
    explicit ReportWriter(InfoCount& count) : count_(count) {}
    GroupWritten group(const char* name, const Group& g) override {
        startGroupCount(count_, name, g);
        walkFacets(g, 0, g.nf, -1, [&](int32_t j, const Face& f, int32_t cm) {
            countFacet(count_, g, j, f, cm);
            return true;
        });
        return GroupWritten::done;
    }

private:
    InfoCount& count_;
};

}  // namespace

std::unique_ptr<GroupWriter> reportWriter(InfoCount& count) { return std::make_unique<ReportWriter>(count); }

}  // namespace quarlen
