#include "convert/clean.h"

#include <cstring>

#include "convert/rsr.h"

void addCounts(CleanCounts& to, const CleanCounts& from) {
    to.fewCorners += from.fewCorners;
    to.outsideList += from.outsideList;
    to.outsidePoints += from.outsidePoints;
    to.nonFinite += from.nonFinite;
    to.merged += from.merged;
    to.texturesDropped += from.texturesDropped;
    to.pointsZeroed += from.pointsZeroed;
    to.textureZeroed += from.textureZeroed;
    to.names += from.names;
}

namespace {

void item(std::string& s, int64_t n, const char* one, const char* many, const char* rest) {
    if (n == 0) return;
    if (!s.empty()) s += ", ";
    s += std::to_string(n);
    s += ' ';
    s += n == 1 ? one : many;
    s += rest;
}

bool unsafeByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F;
}

// An optional sign, digits, and optionally a point and more digits.
bool readsAsNumber(const char* s) {
    if (*s == '+' || *s == '-') ++s;
    auto digits = [&s] {
        const char* start = s;
        while (*s >= '0' && *s <= '9') ++s;
        return s > start;
    };
    if (!digits()) return false;
    if (*s == '.') {
        ++s;
        if (!digits()) return false;
    }
    return *s == '\0';
}

}  // namespace

std::string describeCounts(const CleanCounts& c) {
    std::string s;
    item(s, c.fewCorners, "facet", "facets", " left out (fewer than 3 corners)");
    item(s, c.outsideList, "facet", "facets", " left out (corner outside the index list)");
    item(s, c.outsidePoints, "facet", "facets", " left out (index outside the group's points)");
    item(s, c.nonFinite, "facet", "facets", " left out (point with a non-finite coordinate)");
    item(s, c.merged, "repeated corner", "repeated corners", " merged");
    item(s, c.texturesDropped, "facet", "facets", " written without texture corners (some were missing or bad)");
    item(s, c.pointsZeroed, "point", "points", " with a non-finite coordinate written with 0");
    item(s, c.textureZeroed, "texture vertex", "texture vertices", " with a non-finite coordinate written with 0");
    item(s, c.names, "name", "names", " made safe");
    return s;
}

bool safeName(const char* s, bool material) {
    if (!*s || (material && readsAsNumber(s))) return false;
    for (; *s; ++s)
        if (unsafeByte(*s)) return false;
    return true;
}

char* putSafeName(char* p, const char* s, bool material) {
    if (!*s) {
        std::memcpy(p, "unnamed", 7);
        return p + 7;
    }
    if (material && readsAsNumber(s)) *p++ = '_';
    for (; *s; ++s) *p++ = unsafeByte(*s) ? '_' : *s;
    return p;
}

bool rawFacet(const Group& g, int32_t j, const Numbering& n, Corners& out) {
    out.v.clear();
    out.t.clear();
    const unsigned char* rec = g.fac + size_t(j) * face_size;
    const int32_t c1 = faceC1(rec), nc = faceNc(rec);
    int32_t c12 = -1, nc2 = -1;
    if (j < g.nf2) {
        const unsigned char* rec2 = g.fac2 + size_t(j) * face2_size;
        c12 = faceC1(rec2);
        nc2 = faceNc(rec2);
    }
    const int32_t end = wrapAdd(c1, nc), end2 = wrapAdd(c12, nc2);
    int32_t k = c12;
    for (int32_t s = c1; s < end; ++s, k = wrapAdd(k, 1)) {
        if (s < 0 || s >= g.nq) return false;
        out.v.push_back(pointNumber(g, n, intAt(g.pf, size_t(s))));
        if (c12 >= 0 && k < end2) {
            if (k < 0 || k >= g.nq2) return false;
            out.t.push_back(wrapAdd(intAt(g.pt, size_t(k)), n.tbase));
        }
    }
    return true;
}

bool cleanFacet(const Group& g, int32_t j, const Numbering& n, Corners& out, CleanCounts& c) {
    out.v.clear();
    out.t.clear();
    const unsigned char* rec = g.fac + size_t(j) * face_size;
    const int32_t c1 = faceC1(rec), nc = faceNc(rec);
    if (nc < 3) {
        ++c.fewCorners;
        return false;
    }
    if (c1 < 0 || int64_t(c1) + nc > g.nq) {
        ++c.outsideList;
        return false;
    }
    auto pf = [&](int32_t i) { return intAt(g.pf, size_t(c1) + size_t(i)); };
    for (int32_t i = 0; i < nc; ++i) {
        if (pf(i) < 0 || pf(i) >= g.np) {
            ++c.outsidePoints;
            return false;
        }
    }
    if (n.badPoint) {
        for (int32_t i = 0; i < nc; ++i) {
            if (n.badPoint[pf(i)]) {
                ++c.nonFinite;
                return false;
            }
        }
    }

    // Texture corners only when every corner has one, in range; "had" is
    // whether the traditional output would write any.
    bool had = false, whole = false;
    int32_t c12 = 0;
    auto pt = [&](int32_t i) { return intAt(g.pt, size_t(c12) + size_t(i)); };
    if (j < g.nf2) {
        const unsigned char* rec2 = g.fac2 + size_t(j) * face2_size;
        c12 = faceC1(rec2);
        const int32_t nc2 = faceNc(rec2);
        had = c12 >= 0 && wrapAdd(c12, nc2) > c12;
        whole = had && nc2 >= nc && int64_t(c12) + nc <= g.nq2;
        if (whole) {
            for (int32_t i = 0; i < nc && whole; ++i)
                whole = pt(i) >= 0 && pt(i) < g.nt && !(n.badTex && n.badTex[pt(i)]);
        }
    }

    // Repeats are judged by the number written, so that welded points that
    // meet in one facet merge too.
    int64_t merged = 0;
    for (int32_t i = 0; i < nc; ++i) {
        const int32_t v = pointNumber(g, n, pf(i));
        if (!out.v.empty() && out.v.back() == v) {
            ++merged;
            continue;
        }
        out.v.push_back(v);
        if (whole) out.t.push_back(wrapAdd(pt(i), n.tbase));
    }
    while (out.v.size() > 1 && out.v.back() == out.v.front()) {
        out.v.pop_back();
        if (whole) out.t.pop_back();
        ++merged;
    }
    if (out.v.size() < 3) {
        ++c.fewCorners;
        return false;
    }
    c.merged += merged;
    if (had && !whole) ++c.texturesDropped;
    return true;
}
