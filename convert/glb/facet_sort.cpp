#include "convert/glb/facet_sort.h"

#include <cassert>

#include "convert/glb/vertex_table.h"
#include "convert/options/info.h"

namespace quarlen {

void sortFacets(const Group& g, const Numbering& n, const BodyChunk& chunk, SortedFacets& out, InfoCount* count) {
    assert(chunk.part == BodyPart::facets && n.vbase == 0 && n.tbase == 0 && !n.map);
    out.corners.clear();
    out.ends.clear();
    out.kinds.clear();
    out.counts = CleanCounts{};
    Corners& c = out.scratch;
    walkFacets(g, chunk.begin, chunk.end, chunk.cm, [&](int32_t j, const Face& f, int32_t cm) {
        if (count) countFacet(*count, g, j, f, cm);
        if (!cleanFacet(g, j, n, c, out.counts)) return true;
        const bool textured = !c.t.empty();
        for (size_t k = 0; k < c.v.size(); ++k) out.corners.push_back(cornerKey(c.v[k], textured ? c.t[k] : -1));
        out.ends.push_back(static_cast<uint32_t>(out.corners.size()));
        out.kinds.push_back(primitiveKind(cm, textured));
        return true;
    });
}

}  // namespace quarlen
