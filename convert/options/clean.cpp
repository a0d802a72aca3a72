#include "convert/options/clean.h"

#include <cassert>
#include <cstring>

#include "convert/format/texts.h"

namespace quarlen {

namespace {

void item(std::string& s, int64_t n, const char* one, const char* many, const char* rest) {
    if (n == 0) return;
    if (!s.empty()) s += ", ";
    s += counted(n, one, many);
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

CleanCounts& operator+=(CleanCounts& to, const CleanCounts& from) {
    to.fewCorners += from.fewCorners;
    to.outsideList += from.outsideList;
    to.outsidePoints += from.outsidePoints;
    to.nonFinite += from.nonFinite;
    to.merged += from.merged;
    to.texturesDropped += from.texturesDropped;
    to.pointsZeroed += from.pointsZeroed;
    to.textureZeroed += from.textureZeroed;
    to.names += from.names;
    return to;
}

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

void markNonFinite(const Group& g, double scale, std::vector<unsigned char>& badPoint,
                   std::vector<unsigned char>& badTex, CleanCounts& c) {
    badPoint.assign(size_t(g.np), 0);
    badTex.assign(size_t(g.nt), 0);
    float s[3];
    for (int32_t i = 0; i < g.np; ++i) {
        if (scaledPoint(g, i, scale, s)) continue;
        badPoint[size_t(i)] = 1;
        ++c.pointsZeroed;
    }
    for (int32_t i = 0; i < g.nt; ++i) {
        if (texturePoint(g, i, s)) continue;
        badTex[size_t(i)] = 1;
        ++c.textureZeroed;
    }
}

namespace {

// Why facet f is left out before its corners are looked at one by one: too
// few corners, corners outside the index list or on points outside the
// group or not finite. Null when it is not.
int64_t CleanCounts::*leftOut(const Group& g, const Face& f, const Numbering& n) {
    if (f.nc < 3) return &CleanCounts::fewCorners;
    if (!inList(f.c1, f.nc, g.nq)) return &CleanCounts::outsideList;
    for (int32_t i = 0; i < f.nc; ++i) {
        const int32_t p = vertexEntry(g, f.c1 + i);
        if (!inList(p, 1, g.np)) return &CleanCounts::outsidePoints;
    }
    for (int32_t i = 0; n.badPoint && i < f.nc; ++i)
        if (n.badPoint[vertexEntry(g, f.c1 + i)]) return &CleanCounts::nonFinite;
    return nullptr;
}

// True when every corner of f has a texture corner in range, on a finite
// texture vertex; `had` tells whether the traditional output writes any.
bool wholeTexture(const Group& g, const Face& f, const TexFace& t, const Numbering& n, bool& had) {
    had = t.c1 >= 0 && wrapAdd(t.c1, t.nc) > t.c1;
    if (!had || t.nc < f.nc || !inList(t.c1, f.nc, g.nq2)) return false;
    for (int32_t i = 0; i < f.nc; ++i) {
        const int32_t k = textureEntry(g, t.c1 + i);
        if (!inList(k, 1, g.nt) || (n.badTex && n.badTex[k])) return false;
    }
    return true;
}

}  // namespace

bool cleanFacet(const Group& g, int32_t j, const Numbering& n, Corners& out, CleanCounts& c) {
    out.v.clear();
    out.t.clear();
    const Face f = faceAt(g, j);
    if (int64_t CleanCounts::*why = leftOut(g, f, n)) {
        ++(c.*why);
        return false;
    }
    const TexFace t = texFaceAt(g, j);
    bool had = false;
    const bool whole = wholeTexture(g, f, t, n, had);

    // Repeats are judged by the number written, so that welded points that
    // meet in one facet merge too.
    int64_t merged = 0;
    for (int32_t i = 0; i < f.nc; ++i) {
        const int32_t v = pointNumber(g, n, vertexEntry(g, f.c1 + i));
        if (!out.v.empty() && out.v.back() == v) {
            ++merged;
            continue;
        }
        out.v.push_back(v);
        if (whole) out.t.push_back(wrapAdd(textureEntry(g, t.c1 + i), n.tbase));
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

}  // namespace quarlen
