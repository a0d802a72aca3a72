#include "tests/model_gen.h"

#include <algorithm>

float Dice::coordinate() {
    // Scales chosen so that "%g" writes plain and exponent forms alike.
    static const float scale[] = {1e-9f, 1e-5f, 1e-3f, 0.01f, 1.0f, 1.0f, 100.0f, 1e5f, 1e7f, 1e12f};
    const float mantissa = static_cast<float>(upTo(-9999999, 9999999)) / 1e6f;
    return mantissa * scale[upTo(0, 9)];
}

namespace {

GroupSpec randomGroup(Dice& d, const ModelOptions& o, const std::string& name, bool textured,
                      const std::vector<float>& previousPoints) {
    GroupSpec g;
    g.name = name;
    const int np = d.upTo(3, o.maxPoints);
    for (int i = 0; i < np * 3; ++i) g.xyz.push_back(d.coordinate());
    // The first point repeats a point of the group before: a shared point.
    if (previousPoints.size() >= 3) {
        const size_t p = 3 * size_t(d.upTo(0, int(previousPoints.size() / 3) - 1));
        for (size_t k = 0; k < 3; ++k) g.xyz[k] = previousPoints[p + k];
    }
    const int nm = d.upTo(0, o.materials);
    for (int m = 0; m < nm; ++m) g.mats.push_back(name + "_m" + std::to_string(m));

    g.texq = textured;
    const int nt = textured ? d.upTo(3, o.maxPoints) : 0;
    for (int i = 0; i < nt * 2; ++i) g.uv.push_back(d.coordinate());

    const int nf = d.upTo(1, o.maxFacets);
    for (int j = 0; j < nf; ++j) {
        Facet f{.c1 = int32_t(g.pf.size()), .nc = std::min(d.upTo(3, o.maxCorners), np), .mat = 0};
        // Mostly a valid material, sometimes one outside the names.
        f.mat = static_cast<int16_t>(d.chance(15) ? (d.chance(50) ? -1 : nm) : d.upTo(0, nm > 0 ? nm - 1 : 0));
        // Distinct corners, as in a real mesh: a facet that repeats a point
        // is degenerate, and readers turn it into something else.
        std::vector<int32_t> points(size_t(np), 0);
        for (int k = 0; k < np; ++k) points[size_t(k)] = k;
        for (int k = 0; k < f.nc; ++k) {
            std::swap(points[size_t(k)], points[size_t(d.upTo(k, np - 1))]);
            g.pf.push_back(points[size_t(k)]);
        }
        g.faces.push_back(f);
    }
    if (textured) {
        // Every facet has texture corners, except sometimes the last one.
        const int nf2 = nf > 1 && d.chance(30) ? nf - 1 : nf;
        for (int j = 0; j < nf2; ++j) {
            const int nc = g.faces[size_t(j)].nc;
            g.faces2.push_back({int32_t(g.pt.size()), nc});
            for (int k = 0; k < nc; ++k) g.pt.push_back(d.upTo(0, nt - 1));
        }
    }
    return g;
}

}  // namespace

std::vector<GroupSpec> randomModel(uint32_t seed, const ModelOptions& o) {
    Dice d(seed);
    std::vector<GroupSpec> model;
    std::vector<float> previous;
    // Texture data on some groups only: a textured group is never followed
    // by a second one unless a plain one came in between.
    bool lastTextured = true;
    for (int i = 0; i < o.groups; ++i) {
        const std::string number = std::to_string(i);
        if (o.emptyGroups && d.chance(25)) model.push_back(GroupSpec{.name = std::string("empty").append(number)});
        const bool textured = o.texture && !lastTextured && d.chance(70);
        lastTextured = textured;
        const std::string name = std::string("g").append(std::to_string(seed)).append("_").append(number);
        model.push_back(randomGroup(d, o, name, textured, previous));
        previous = model.back().xyz;
    }
    return model;
}

ObjModel expectedObj(const std::vector<GroupSpec>& model) {
    ObjModel m;
    std::string material;  // named by the last "usemtl" line so far
    for (const GroupSpec& g : model) {
        const int64_t vbase = int64_t(m.xyz.size() / 3), tbase = int64_t(m.uv.size() / 2);
        m.groups.push_back(g.name);
        m.xyz.insert(m.xyz.end(), g.xyz.begin(), g.xyz.end());
        m.uv.insert(m.uv.end(), g.uv.begin(), g.uv.end());
        int cm = -1;  // each group starts with a "usemtl" line of its own
        for (size_t j = 0; j < g.faces.size(); ++j) {
            const Facet& f = g.faces[j];
            if (f.mat != cm && f.mat >= 0 && size_t(f.mat) < g.mats.size()) {
                cm = f.mat;
                material = g.mats[size_t(cm)];
            }
            ObjFace face{.group = g.name, .material = material};
            for (int k = 0; k < f.nc; ++k) face.v.push_back(vbase + g.pf[size_t(f.c1 + k)]);
            if (g.texq && j < g.faces2.size()) {
                const TexFacet& t = g.faces2[j];
                for (int k = 0; k < t.nc && k < f.nc; ++k) face.t.push_back(tbase + g.pt[size_t(t.c1 + k)]);
            }
            m.faces.push_back(face);
        }
    }
    return m;
}
