// What --clean changes so that strict OBJ readers accept the output: facets
// readers refuse, repeated corners, partial texture corners, non-finite
// coordinates and unsafe names. Shared by the OBJ and GLB writers and
// --info, so that all count the same things.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/options/facet_corners.h"
#include "convert/format/rsr.h"

namespace quarlen {

struct CleanCounts {
    int64_t fewCorners = 0;       // facets left out: fewer than 3 corners, also once repeats merged
    int64_t outsideList = 0;      // facets left out: a corner outside the vertex index list
    int64_t outsidePoints = 0;    // facets left out: an index outside the group's points
    int64_t nonFinite = 0;        // facets left out: a corner on a point with a non-finite coordinate
    int64_t merged = 0;           // repeated corners merged, in facets that were kept
    int64_t texturesDropped = 0;  // facets written without the texture corners some of them had
    int64_t pointsZeroed = 0;     // points written with 0 for a non-finite coordinate
    int64_t textureZeroed = 0;    // texture vertices likewise
    int64_t names = 0;            // group and material names made safe
};

CleanCounts& operator+=(CleanCounts& to, const CleanCounts& from);

// What changed, as "3 facets left out (fewer than 3 corners), 2 repeated
// corners merged, ..."; empty when nothing did.
std::string describeCounts(const CleanCounts& c);

// True when a name needs no change: not empty, and no space, tab or other
// control byte; a material name also must not read as a number, which
// F3D's material file reader takes for one ("2", "-1.5").
bool safeName(const char* s, bool material);

// Writes s with every space, tab or control byte as '_', "unnamed" for an
// empty s, and '_' before a material name that reads as a number. Needs
// room for max(strlen(s) + 1, 7) bytes. Returns the end.
char* putSafeName(char* p, const char* s, bool material);

// Point i with each coordinate multiplied by scale (1: as stored). False
// when a coordinate is then not finite: clean writes 0 for it and leaves
// out the facets on the point.
inline bool scaledPoint(const Group& g, int32_t i, double scale, float s[3]) {
    bool finite = true;
    for (int k = 0; k < 3; ++k) {
        s[k] = pointAt(g, i, k);
        if (scale != 1.0) s[k] = static_cast<float>(double(s[k]) * scale);
        finite = finite && std::isfinite(s[k]);
    }
    return finite;
}

// Texture vertex i; false when a coordinate is not finite.
inline bool texturePoint(const Group& g, int32_t i, float c[2]) {
    c[0] = texAt(g, i, 0);
    c[1] = texAt(g, i, 1);
    return std::isfinite(c[0]) && std::isfinite(c[1]);
}

// Marks the points with a coordinate that is not finite once multiplied
// by scale, and the texture vertices with one that is not finite: --clean
// leaves out their facets, or the facets' texture corners. Counts them as
// the points and texture vertices clean writes with 0.
void markNonFinite(const Group& g, double scale, std::vector<unsigned char>& badPoint,
                   std::vector<unsigned char>& badTex, CleanCounts& c);

// Facet j as --clean writes it. False when the facet is left out; counts
// the reason, or what changed in a facet that is kept.
bool cleanFacet(const Group& g, int32_t j, const Numbering& n, Corners& out, CleanCounts& c);

}  // namespace quarlen
