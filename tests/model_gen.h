// Generated models for the property, reader and fuzzing tests, and what an
// OBJ reader should find in their conversion, worked out from the model alone.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/rsr_builder.h"


struct ModelOptions {
    int groups = 4;
    int maxPoints = 10;      // points per group: 3 to maxPoints
    int maxFacets = 6;       // facets per group: 1 to maxFacets
    int maxCorners = 6;      // corners per facet: 3 to maxCorners
    int materials = 3;       // material names per group: 0 to materials
    bool texture = true;     // texture data on some groups, never on all
    bool emptyGroups = false;  // groups with no points and no facets between the others
};

// A deterministic model for `seed`. Names are letters, digits and '_' only.
// Points of one group reappear in the next (shared points), texture data
// covers every facet of a textured group except sometimes the last, and
// some facets carry a material number outside the group's names.
std::vector<GroupSpec> randomModel(uint32_t seed, const ModelOptions& o);

// One facet as a reader sees it: 0-based global numbers.
struct ObjFace {
    std::string group, material;  // material "" when no "usemtl" line came before
    std::vector<int64_t> v, t;    // t is empty when the facet has no texture suffixes
};

struct ObjModel {
    std::vector<float> xyz, uv;
    std::vector<std::string> groups;  // every "g" line, in order
    std::vector<ObjFace> faces;
};

// What a well-formed model means as OBJ: points and texture vertices of all
// groups in order, each facet's corners numbered across the whole file, and
// the material named by the last "usemtl" line before each facet.
ObjModel expectedObj(const std::vector<GroupSpec>& model);

// Simple deterministic choices: the same on every standard library.
struct Dice {
    std::mt19937 rng;
    explicit Dice(uint32_t seed) : rng(seed) {}
    int upTo(int lo, int hi) {  // lo to hi inclusive
        return lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1));
    }
    bool chance(int percent) { return upTo(0, 99) < percent; }
    float coordinate();  // values over many orders of magnitude, both signs
};

// A model with the oddities that strict readers refuse in the traditional
// output (bare and short facets, corners outside the group's points,
// non-finite coordinates, repeated corners, partial texture corners, spaces,
// tabs, line feeds and control bytes in names, empty names), and what
// --clean --triangulate makes of it, worked out as the model is built.
struct OddModel {
    std::vector<GroupSpec> groups;
    std::vector<std::string> oddities;  // the kinds of oddity it holds, each once
    bool badValue = false;  // a corner outside an index list: the traditional run fails
    // With --clean --triangulate:
    int64_t points = 0, textureVertices = 0, triangles = 0;
    int64_t usedPoints = 0;       // distinct points the triangles use
    int64_t texturedTriangles = 0;
    bool sameNumbers = true;      // every texture number equals its corner's point number
    std::vector<std::string> materials;  // names in "usemtl" lines, made safe, in order of first use
};

OddModel oddModel(uint32_t seed);

// A name as --clean and --mtl write it: up to its first NUL, every space,
// tab and control byte as '_', "unnamed" when empty, and a material name
// that is a number such as "2" or "-1.5" with '_' before it.
std::string madeSafe(const std::string& stored, bool material);
