// model_writer MODEL OUT.rsr OUT.expected: writes one generated model as an
// RSR file, and beside it what an OBJ reader should find in its conversion,
// for the reader scripts. Models: "mixed" (texture data on some groups,
// materials switching, triangles to large facets, empty groups) and "plain"
// (the same kinds of groups without texture data).
//
// The expected file has one item per line, numbers 0-based and global:
//   g NAME                      every group line, in order
//   v X Y Z                     every point, as the float written (%.9g)
//   vt U V                      every texture vertex
//   f GROUP MATERIAL V... [| T...]   GROUP is the index of its "g" line,
//                               MATERIAL "-" when no "usemtl" came before
//
// model_writer odd FIRST COUNT DIR: writes COUNT odd models (seeds FIRST on)
// as DIR/odd-SEED.rsr, each with DIR/odd-SEED.expected holding "key value"
// lines: what --clean --triangulate makes of it (points, texture_vertices,
// triangles, used_points, textured_triangles, same_numbers, materials, one
// "material NAME" line each) and what it holds (oddities, bad_value), and
// a "group HEX" line per group with its stored name's bytes in hex.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/model_gen.h"


namespace {

int writeOdd(uint32_t first, uint32_t count, const std::string& dir) {
    for (uint32_t seed = first; seed < first + count; ++seed) {
        const OddModel m = oddModel(seed);
        const std::string base = dir + "/odd-" + std::to_string(seed);
        const Bytes rsr = buildRsr(m.groups);
        std::ofstream(base + ".rsr", std::ios::binary).write(reinterpret_cast<const char*>(rsr.data()), long(rsr.size()));
        FILE* f = std::fopen((base + ".expected").c_str(), "w");
        if (!f) return 1;
        std::fprintf(f, "points %lld\ntexture_vertices %lld\ntriangles %lld\nused_points %lld\n",
                     static_cast<long long>(m.points), static_cast<long long>(m.textureVertices),
                     static_cast<long long>(m.triangles), static_cast<long long>(m.usedPoints));
        std::fprintf(f, "textured_triangles %lld\nsame_numbers %d\nbad_value %d\ngroups %zu\nmaterials %zu\n",
                     static_cast<long long>(m.texturedTriangles), m.sameNumbers ? 1 : 0, m.badValue ? 1 : 0,
                     m.groups.size(), m.materials.size());
        for (const std::string& name : m.materials) std::fprintf(f, "material %s\n", name.c_str());
        for (const GroupSpec& g : m.groups) {
            std::fputs("group ", f);
            for (const char c : g.name) std::fprintf(f, "%02x", unsigned(static_cast<unsigned char>(c)));
            std::fputs("\n", f);
        }
        std::fputs("oddities", f);
        for (const std::string& o : m.oddities) std::fprintf(f, " %s", o.c_str());
        std::fputs("\n", f);
        std::fclose(f);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "odd")
        return writeOdd(uint32_t(std::stoul(argv[2])), uint32_t(std::stoul(argv[3])), argv[4]);
    if (argc != 4) {
        std::fputs("usage: model_writer mixed|plain OUT.rsr OUT.expected\n"
                   "       model_writer odd FIRST COUNT DIR\n", stderr);
        return 2;
    }
    const std::string kind = argv[1];
    if (kind != "mixed" && kind != "plain") {
        std::fprintf(stderr, "unknown model: %s\n", argv[1]);
        return 2;
    }
    const auto model = randomModel(kind == "mixed" ? 41 : 42,
                                   ModelOptions{.groups = 12, .maxPoints = 20, .maxFacets = 8, .maxCorners = 9,
                                                .materials = 4, .texture = kind == "mixed", .emptyGroups = true});
    const Bytes rsr = buildRsr(model);
    std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char*>(rsr.data()), long(rsr.size()));

    const ObjModel m = expectedObj(model);
    FILE* f = std::fopen(argv[3], "w");
    if (!f) return 1;
    for (const std::string& g : m.groups) std::fprintf(f, "g %s\n", g.c_str());
    for (size_t i = 0; i < m.xyz.size(); i += 3)
        std::fprintf(f, "v %.9g %.9g %.9g\n", double(m.xyz[i]), double(m.xyz[i + 1]), double(m.xyz[i + 2]));
    for (size_t i = 0; i < m.uv.size(); i += 2) std::fprintf(f, "vt %.9g %.9g\n", double(m.uv[i]), double(m.uv[i + 1]));
    size_t group = 0;
    for (const ObjFace& face : m.faces) {
        while (m.groups[group] != face.group) ++group;  // faces come in group order
        std::fprintf(f, "f %zu %s", group, face.material.empty() ? "-" : face.material.c_str());
        for (int64_t v : face.v) std::fprintf(f, " %lld", static_cast<long long>(v));
        if (!face.t.empty()) {
            std::fputs(" |", f);
            for (int64_t t : face.t) std::fprintf(f, " %lld", static_cast<long long>(t));
        }
        std::fputc('\n', f);
    }
    std::fclose(f);
    return 0;
}
