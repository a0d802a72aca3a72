#include "convert/obj/facet_text.h"

namespace quarlen {

bool rawFacet(const Group& g, int32_t j, const Numbering& n, Corners& out) {
    out.v.clear();
    out.t.clear();
    const CornerWalk w = cornerWalk(faceAt(g, j), texFaceAt(g, j));
    return walkCorners(g, w, 0, w.corners, [&](const Corner& c) {
        out.v.push_back(pointNumber(g, n, c.v));
        if (c.textured) out.t.push_back(wrapAdd(c.t, n.tbase));
    });
}

}  // namespace quarlen
