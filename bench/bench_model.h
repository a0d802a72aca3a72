// The benchmarks' generated model: groups of points on a 100-unit scale
// with quads over random points, the worst case for drawing too (every
// facet spans the whole model).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/rsr_builder.h"

inline uint32_t lcg(uint32_t& s) { return s = s * 1664525u + 1013904223u; }
inline float unit(uint32_t& s) { return static_cast<float>(lcg(s) >> 8) / 16777216.0f; }

// One group of a body-like mesh: points on a 100-unit scale, quads over
// random points, texture corners on every facet, materials in runs of 500.
inline GroupSpec makeGroup(int index, int points, int materials) {
    uint32_t s = 12345u + static_cast<uint32_t>(index);
    GroupSpec g;
    g.name = "group" + std::to_string(index);
    for (int i = 0; i < 3 * points; ++i) g.xyz.push_back(unit(s) * 100.0f - 50.0f);
    for (int j = 0; j < points; ++j) {
        g.faces.push_back({4 * j, 4, static_cast<int16_t>(j / 500 % materials)});
        g.faces2.push_back({4 * j, 4});
        for (int c = 0; c < 4; ++c) {
            g.pf.push_back(static_cast<int32_t>(lcg(s) % uint32_t(points)));
            g.pt.push_back(static_cast<int32_t>(lcg(s) % uint32_t(points)));
        }
    }
    g.texq = true;
    for (int i = 0; i < 2 * points; ++i) g.uv.push_back(unit(s));
    for (int m = 0; m < materials; ++m) g.mats.push_back("material" + std::to_string(m));
    return g;
}

inline void writeModel(const std::string& path, int groups, int points) {
    FILE* f = std::fopen(path.c_str(), "wb");
    Bytes b;
    putHeader(b);
    for (int i = 0; i < groups; ++i) {
        putGroup(b, makeGroup(i, points, 8));
        std::fwrite(b.data(), 1, b.size(), f);
        b.clear();
    }
    putEndMarker(b);
    putTrailer(b);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}
