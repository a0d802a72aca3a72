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

namespace {

// [+-]?[0-9]+([.][0-9]+)? as a whole: digits, at most one point between
// digits, and a sign before them.
bool isNumber(const std::string& s) {
    size_t at = s.size() > 0 && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    const auto digits = [&] {
        const size_t from = at;
        while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
        return at > from;
    };
    if (!digits()) return false;
    if (at < s.size() && s[at] == '.' && (++at, !digits())) return false;
    return at == s.size();
}

}  // namespace

std::string madeSafe(const std::string& stored, bool material) {
    std::string s = stored.substr(0, stored.find('\0'));
    if (s.empty()) return "unnamed";
    if (material && isNumber(s)) s = "_" + s;
    for (char& c : s)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) c = '_';
    return s;
}

namespace {

void note(OddModel& m, const char* oddity) {
    if (std::find(m.oddities.begin(), m.oddities.end(), oddity) == m.oddities.end()) m.oddities.push_back(oddity);
}

const char* const odd_group_names[] = {"left arm", "tab\there", "", "upper\nleg", "ctl\x01name", "right hand "};
const char* const odd_material_names[] = {"skin", "roof tiles", "metal\tdark", "", "wood", "glass pane", "cloth", "7", "-1.5"};

// One group of an odd model; `base` and `tbase` number its first point and
// texture vertex across the file, 0-based.
GroupSpec oddGroup(Dice& d, OddModel& m, int index, int64_t base, int64_t tbase, std::vector<char>& used,
                   int32_t& written) {
    GroupSpec g;
    if (d.chance(55)) {
        g.name = "part" + std::to_string(index);
    } else {
        g.name = odd_group_names[d.upTo(0, 5)];
        note(m, g.name.empty() ? "empty-name" : "unsafe-name");
        // A name length of 0 would be the end marker: an empty name is stored
        // as a NUL byte.
        if (g.name.empty()) g.name.push_back('\0');
    }
    const int np = d.upTo(4, 12);
    for (int i = 0; i < np * 3; ++i) g.xyz.push_back(static_cast<float>(d.upTo(-99999, 99999)) / 1000.0f);
    int bad = -1;  // a point with a non-finite coordinate
    if (d.chance(20)) {
        bad = d.upTo(0, np - 1);
        const float odd[] = {INFINITY, -INFINITY, NAN, -NAN};
        g.xyz[size_t(3 * bad + d.upTo(0, 2))] = odd[d.upTo(0, 3)];
        note(m, "non-finite-point");
    }
    g.texq = d.chance(50);
    const int nt = g.texq ? d.upTo(3, 8) : 0;
    for (int i = 0; i < nt * 2; ++i) g.uv.push_back(static_cast<float>(d.upTo(0, 1000)) / 1000.0f);
    int badTex = -1;
    if (g.texq && d.chance(15)) {
        badTex = d.upTo(0, nt - 1);
        g.uv[size_t(2 * badTex)] = NAN;
        note(m, "non-finite-texture");
    }
    const int nm = d.upTo(0, 3);
    for (int k = 0; k < nm; ++k) {
        std::string name = odd_material_names[d.upTo(0, 8)];
        if (std::find(g.mats.begin(), g.mats.end(), name) != g.mats.end()) name += std::to_string(k);
        if (madeSafe(name, true) != name) note(m, name.empty() ? "empty-name" : "unsafe-name");
        g.mats.push_back(name);
    }

    std::vector<int32_t> good;  // points a facet may use
    for (int i = 0; i < np; ++i)
        if (i != bad) good.push_back(i);
    int32_t cm = -1;  // the material in force, as the output tracks it
    const int nf = d.upTo(2, 8);
    for (int j = 0; j < nf; ++j) {
        Facet f{.c1 = int32_t(g.pf.size())};
        f.mat = static_cast<int16_t>(nm == 0 || d.chance(10) ? (d.chance(50) ? -1 : nm) : d.upTo(0, nm - 1));
        if (f.mat >= 0 && f.mat < nm && f.mat != cm) cm = f.mat;
        if (f.mat >= 0 && f.mat < nm) note(m, "usemtl");

        // Distinct corners first; each kind of facet then spoils them its way.
        const int want = d.upTo(3, std::min(8, int(good.size())));
        std::vector<int32_t> corners;
        for (int k = 0; k < want; ++k) {
            std::swap(good[size_t(k)], good[size_t(d.upTo(k, int(good.size()) - 1))]);
            corners.push_back(good[size_t(k)]);
        }
        int kept = want;  // corners once clean has merged repeats; 0 when left out
        const int kind = d.upTo(0, 99);
        if (kind < 45) {
            if (want > 3) note(m, "polygon");
        } else if (kind < 52) {
            corners.clear();
            kept = 0;
            note(m, "bare-f");
        } else if (kind < 60) {
            corners.resize(size_t(d.upTo(1, 2)));
            kept = 0;
            note(m, "few-corners");
        } else if (kind < 72) {
            // Repeats of the corner before, and sometimes the first again at the end.
            std::vector<int32_t> r;
            for (int32_t c : corners) {
                r.push_back(c);
                if (d.chance(40)) r.push_back(c);
            }
            if (d.chance(50)) r.push_back(corners[0]);
            if (r.size() == corners.size()) r.push_back(r.back());
            corners = r;
            note(m, "repeated-corner");
        } else if (kind < 77) {
            // Three corners of which two are the same point: nothing is left.
            corners = {corners[0], corners[1], corners[1], corners[0]};
            kept = 0;
            note(m, "repeated-corner");
        } else if (kind < 85) {
            corners[size_t(d.upTo(0, want - 1))] = d.chance(50) ? np + d.upTo(0, 5) : -1 - d.upTo(0, 5);
            kept = 0;
            note(m, "outside-points");
        } else if (kind < 93 && bad >= 0) {
            corners[size_t(d.upTo(0, want - 1))] = bad;
            kept = 0;
        }
        f.nc = int32_t(corners.size());
        g.pf.insert(g.pf.end(), corners.begin(), corners.end());

        bool textured = false;
        if (g.texq) {
            TexFacet t{.c1 = int32_t(g.pt.size()), .nc = f.nc};
            std::vector<int32_t> tc;
            for (int k = 0; k < f.nc; ++k) {
                int32_t v = d.upTo(0, nt - 1);
                if (v == badTex) v = (v + 1) % nt;
                tc.push_back(v);
            }
            textured = f.nc > 0;
            const int tkind = d.upTo(0, 99);
            if (f.nc > 1 && tkind < 12) {
                t.nc = f.nc - d.upTo(1, f.nc - 1);  // texture corners on the first corners only
                textured = false;
                note(m, "partial-texture");
            } else if (f.nc > 0 && tkind < 20) {
                tc[size_t(d.upTo(0, f.nc - 1))] = nt + d.upTo(0, 3);
                textured = false;
                note(m, "texture-outside");
            } else if (f.nc > 0 && tkind < 26 && badTex >= 0) {
                tc[size_t(d.upTo(0, f.nc - 1))] = badTex;
                textured = false;
            }
            g.pt.insert(g.pt.end(), tc.begin(), tc.end());
            g.faces2.push_back(t);
            if (kept > 0 && textured) {
                // The same merge as the points': texture corners follow theirs.
                std::vector<int32_t> pv, tv;
                for (size_t k = 0; k < corners.size(); ++k) {
                    if (!pv.empty() && pv.back() == corners[k]) continue;
                    pv.push_back(corners[k]);
                    tv.push_back(tc[k]);
                }
                while (pv.size() > 1 && pv.back() == pv.front()) {
                    pv.pop_back();
                    tv.pop_back();
                }
                for (size_t k = 0; k < pv.size(); ++k)
                    if (base + pv[k] != tbase + tv[k]) m.sameNumbers = false;
            }
        }
        g.faces.push_back(f);
        if (kept == 0) continue;
        // What survives: count merged corners the same way as the writer.
        std::vector<int32_t> pv;
        for (int32_t c : corners)
            if (pv.empty() || pv.back() != c) pv.push_back(c);
        while (pv.size() > 1 && pv.back() == pv.front()) pv.pop_back();
        m.triangles += int64_t(pv.size()) - 2;
        if (textured) m.texturedTriangles += int64_t(pv.size()) - 2;
        for (int32_t c : pv) used[size_t(base + c)] = 1;
        if (cm >= 0 && cm != written) {
            written = cm;
            const std::string name = madeSafe(g.mats[size_t(cm)], true);
            if (std::find(m.materials.begin(), m.materials.end(), name) == m.materials.end())
                m.materials.push_back(name);
        }
    }
    return g;
}

}  // namespace

OddModel oddModel(uint32_t seed) {
    Dice d(seed);
    OddModel m;
    const int groups = d.upTo(2, 5);
    std::vector<char> used(size_t(groups) * 12, 0);
    int64_t base = 0, tbase = 0;
    for (int i = 0; i < groups; ++i) {
        int32_t written = -1;  // each group starts with a "usemtl" line of its own
        GroupSpec g = oddGroup(d, m, i, base, tbase, used, written);
        base += int64_t(g.xyz.size() / 3);
        tbase += int64_t(g.uv.size() / 2);
        m.groups.push_back(std::move(g));
    }
    // One model in ten ends with a bare facet and then one of two corners,
    // which makes Blender 3.4's importer crash.
    if (d.chance(10)) {
        GroupSpec& g = m.groups.back();
        const int32_t at = int32_t(g.pf.size());
        g.pf.insert(g.pf.end(), {0, 1});
        g.faces.push_back(Facet{.c1 = at, .nc = 0});
        g.faces.push_back(Facet{.c1 = at, .nc = 2});
        if (g.texq) g.faces2.insert(g.faces2.end(), {TexFacet{}, TexFacet{}});
        note(m, "bare-then-short-at-end");
    }
    // One model in eight ends with a facet whose corners run past its
    // index list: the traditional run fails there with "bad value".
    if (d.chance(12)) {
        GroupSpec& g = m.groups.back();
        g.faces.push_back(Facet{.c1 = int32_t(g.pf.size()) - 1, .nc = 3});
        if (g.texq) g.faces2.push_back(TexFacet{.c1 = 0, .nc = 3});
        m.badValue = true;
        note(m, "outside-list");
    }
    m.points = base;
    m.textureVertices = tbase;
    for (char u : used) m.usedPoints += u;
    return m;
}
