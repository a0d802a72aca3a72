// Writes the bundled sample model: a small house of three groups with
// texture data on two of them and four materials.
//
//   make_example OUT.rsr
#include <cstdio>

#include "tests/rsr_builder.h"


namespace {

// A box from (x0,y0,z0) to (x1,y1,z1): 8 points and 6 quads, each quad's
// material from mats_of_side.
GroupSpec box(const char* name, float x0, float y0, float z0, float x1, float y1, float z1,
              std::vector<int16_t> mats_of_side, bool texture) {
    GroupSpec g;
    g.name = name;
    g.xyz = {x0, y0, z0, x1, y0, z0, x1, y1, z0, x0, y1, z0,
             x0, y0, z1, x1, y0, z1, x1, y1, z1, x0, y1, z1};
    g.pf = {0, 3, 2, 1, 4, 5, 6, 7, 0, 1, 5, 4, 1, 2, 6, 5, 2, 3, 7, 6, 3, 0, 4, 7};
    for (int side = 0; side < 6; ++side) g.faces.push_back({4 * side, 4, mats_of_side[size_t(side)]});
    if (texture) {
        g.texq = true;
        g.uv = {0, 0, 1, 0, 1, 1, 0, 1};
        for (int side = 0; side < 6; ++side) {
            g.pt.insert(g.pt.end(), {0, 1, 2, 3});
            g.faces2.push_back({4 * side, 4});
        }
    }
    return g;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_example OUT.rsr\n", stderr);
        return 2;
    }
    GroupSpec walls = box("walls", -2, 0, -1.5f, 2, 2.5f, 1.5f, {0, 0, 1, 1, 1, 1}, true);
    walls.mats = {"floorboards", "whitewash"};

    GroupSpec roof;  // a pyramid over the walls: four triangles round a quad base
    roof.name = "roof";
    roof.xyz = {-2.2f, 2.5f, -1.7f, 2.2f, 2.5f, -1.7f, 2.2f, 2.5f, 1.7f, -2.2f, 2.5f, 1.7f, 0, 4.125f, 0};
    roof.pf = {0, 1, 4, 1, 2, 4, 2, 3, 4, 3, 0, 4, 0, 3, 2, 1};
    roof.faces = {{0, 3, 0}, {3, 3, 0}, {6, 3, 0}, {9, 3, 0}, {12, 4, 1}};
    roof.mats = {"roof tiles", "whitewash"};

    GroupSpec chimney = box("chimney", 0.8f, 3, -0.3f, 1.3f, 4.6f, 0.3f, {0, 0, 0, 0, 0, 0}, true);
    chimney.mats = {"brick"};

    const Bytes b = buildRsr({walls, roof, chimney});
    FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
