// make_seeds DIR: writes the fuzzing seed corpus, every file made by the
// RSR builder: generated models with several groups, texture data,
// materials and empty groups; the end marker with and without trailer and
// junk after it; files cut short; hostile counts; failing facets.
#include <cstdio>
#include <string>

#include "tests/model_gen.h"


namespace {

constexpr size_t max_seed = 4096;  // the fuzzer's -max_len
std::string dir;
int written = 0;

void seed(const std::string& name, const Bytes& b) {
    if (b.size() > max_seed) return;
    const std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::exit(1);
    }
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    ++written;
}

Bytes header() {
    Bytes b;
    putHeader(b);
    return b;
}

GroupSpec triangle() {
    return GroupSpec{.name = "tri", .xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0}, .pf = {0, 1, 2},
                     .faces = {{0, 3, 0}}, .mats = {"m"}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_seeds DIR\n", stderr);
        return 2;
    }
    dir = argv[1];

    seed("empty", {});
    seed("header_only", header());
    Bytes marker = header();
    putEndMarker(marker);
    seed("marker_no_trailer", marker);
    seed("marker_trailer", buildRsr({}));
    Bytes junk = buildRsr({triangle()});
    for (int i = 0; i < 200; ++i) junk.push_back(static_cast<unsigned char>(i * 37));
    seed("junk_after_trailer", junk);

    for (uint32_t s = 0; s < 24; ++s) {
        const ModelOptions o{.groups = 1 + int(s % 5), .maxPoints = 6, .maxFacets = 4, .maxCorners = 5,
                             .materials = int(s % 4), .texture = s % 3 != 0, .emptyGroups = s % 2 == 0};
        const Bytes whole = buildRsr(randomModel(s, o));
        seed("model_" + std::to_string(s), whole);
        if (s % 4 == 0) {  // the same model cut at a few places
            for (size_t cut : {whole.size() / 3, whole.size() / 2, whole.size() - 60})
                seed("model_" + std::to_string(s) + "_cut_" + std::to_string(cut), Bytes(whole.begin(), whole.begin() + long(cut)));
        }
    }

    // Hostile counts in each field of a second group.
    const char* fields[] = {"np", "nq", "nf", "nt", "nq2", "nf2", "nm"};
    const int32_t values[] = {-1, 0x7fffffff, 1000000000, 0x40000000, 257};
    for (const char* field : fields) {
        for (int32_t v : values) {
            Bytes b = header();
            putGroup(b, triangle());
            putI32(b, 3);
            putRaw(b, "hip");
            for (const char* f : fields) {
                if (std::string(f) == field) break;
                if (std::string(f) == "np") {
                    putI32(b, 1);
                    for (int i = 0; i < 3; ++i) putF32(b, 1.0f);
                } else if (std::string(f) == "nf") {
                    putI32(b, 0);
                    putI32(b, 1);  // texq
                } else {
                    putI32(b, 0);
                }
            }
            putI32(b, v);
            putFill(b, 64, 0);
            seed(std::string("count_") + field + "_" + std::to_string(v), b);
        }
    }

    for (int32_t length : {300, -1, 256, 257}) {
        Bytes b = header();
        putGroup(b, triangle());
        putI32(b, length);
        putFill(b, 40, 'n');
        seed("name_length_" + std::to_string(length), b);
    }
    GroupSpec bad = triangle();
    bad.faces = {{2, 3, 0}};
    seed("bad_value", buildRsr({triangle(), bad}));
    GroupSpec tex = triangle();
    tex.texq = true;
    tex.uv = {0, 0, 1, 1};
    tex.pt = {0, 1};
    tex.faces2 = {{0, 3}};
    seed("texture_past_list", buildRsr({tex}));
    GroupSpec odd{.name = std::string("a\nb\0c", 5), .xyz = {1e30f, -0.0f, 1e-40f}, .pf = {0},
                  .faces = {{0, 1, -1}, {2147483647, 1, 0}, {0, -3, 1}}, .mats = {std::string(40, 'x')}};
    seed("odd_values", buildRsr({odd, triangle()}));

    std::printf("%d seeds in %s\n", written, dir.c_str());
    return 0;
}
