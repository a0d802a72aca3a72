#include "convert/glb/facet_sort.h"

#include <cassert>

#include "convert/glb/vertex_table.h"
#include "convert/options/info.h"

namespace quarlen {

void sortFacets(const Group& g, const Numbering& n, const BodyChunk& chunk, SortedFacets& out, InfoCount* count) {
    assert(chunk.part == BodyPart::facets && n.vbase == 0 && n.tbase == 0 && !n.map);
    out.spans.clear();
    out.corners.clear();
    out.counts = CleanCounts{};
    Corners& c = out.scratch;
    walkFacets(g, chunk.begin, chunk.end, chunk.cm, [&](int32_t j, const Face& f, int32_t cm) {
        if (count) countFacet(*count, g, j, f, cm);
        if (!cleanFacet(g, j, n, c, out.counts)) return true;
        const bool textured = !c.t.empty();
        const int32_t kind = primitiveKind(cm, textured);
        const auto corners = static_cast<uint32_t>(c.v.size());
        // Numbered as stored (n has no bases), a facet with all its corners
        // is the one stored.
        if (corners == uint32_t(f.nc)) {
            FacetSpan* last = out.spans.empty() ? nullptr : &out.spans.back();
            if (last && last->cornersAt == stored_corners && last->kind == kind && last->first + int32_t(last->facets) == j) {
                ++last->facets;
                last->corners += corners;
            } else {
                out.spans.push_back({j, 1, corners, kind, stored_corners});
            }
            return true;
        }
        out.spans.push_back({j, 1, corners, kind, static_cast<uint32_t>(out.corners.size())});
        for (size_t k = 0; k < c.v.size(); ++k) out.corners.push_back(cornerKey(c.v[k], textured ? c.t[k] : -1));
        return true;
    });
}

}  // namespace quarlen
