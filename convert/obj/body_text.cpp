#include "convert/obj/body_text.h"

#include <cstring>

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

char* putFacetLines(const OutputOptions& o, BodySlot& s, FacetTally& tally, char* p, int32_t nc) {
    const Corners& c = s.corners;
    const size_t n = c.v.size();
    if (!o.triangulate || n <= 3) {
        const int32_t counted = o.clean || o.triangulate ? int32_t(n) : nc;
        ++tally.lines;
        tally.nq = std::max(tally.nq, counted);
        return putEnd(putCorners(p, c, nullptr, n), o.lf);
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
        p = putEnd(p, o.lf);
        ++tally.lines;
        tally.nq = std::max(tally.nq, 3);
    }
    return p;
}

}  // namespace quarlen
