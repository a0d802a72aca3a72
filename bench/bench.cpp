// Times the conversion of a large generated model three ways: the program's
// own, the plain stdio way flushing at every promised point, and the plain
// stdio way with ordinary buffering. Also measures peak memory against the
// model's size. Prints figures; asserts nothing about time.
//
//   quarlen_bench [GROUPS [POINTS_PER_GROUP]]   (default 40 groups of 25000)
//   quarlen_bench --model OUT.rsr [GROUPS [POINTS_PER_GROUP]]
//                 only writes the model, for trying it in other programs
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/baseline/conversion.h"
#include "bench/stdio_reference.h"
#include "convert/conversion.h"
#include "convert/notice.h"
#include "tests/rsr_builder.h"

void notice(const char*, const char*, unsigned) {}
void baseline::notice(const char*, const char*, unsigned) {}

namespace {

uint32_t lcg(uint32_t& s) { return s = s * 1664525u + 1013904223u; }
float unit(uint32_t& s) { return static_cast<float>(lcg(s) >> 8) / 16777216.0f; }

// One group of a body-like mesh: points on a 100-unit scale, quads over
// random points, texture corners on every facet, materials in runs of 500.
GroupSpec makeGroup(int index, int points, int materials) {
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

void writeModel(const std::string& path, int groups, int points) {
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

double fileMB(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return static_cast<double>(st.st_size) / 1e6;
}

template <class F>
double seconds(F f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool sameFile(const std::string& a, const std::string& b) {
    FILE *fa = std::fopen(a.c_str(), "rb"), *fb = std::fopen(b.c_str(), "rb");
    bool same = fa && fb;
    static char ba[1 << 16], bb[1 << 16];
    while (same) {
        const size_t na = std::fread(ba, 1, sizeof ba, fa), nb = std::fread(bb, 1, sizeof bb, fb);
        same = na == nb && std::memcmp(ba, bb, na) == 0;
        if (na == 0) break;
    }
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same;
}

// Peak resident memory in MB of a fresh process of this program that
// converts in to out (see --peak in main).
double peakMB(const char* self, const std::string& in, const std::string& out) {
    const std::string cmd = std::string(self) + " --peak " + in + " " + out;
    FILE* p = popen(cmd.c_str(), "r");
    double kb = -1;
    if (p && std::fscanf(p, "%lf", &kb) != 1) kb = -1;
    if (p) pclose(p);
    return kb / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) {
        convertRSR(argv[2], argv[3]);
        struct rusage ru {};
        getrusage(RUSAGE_SELF, &ru);
        std::printf("%ld\n", ru.ru_maxrss);
        return 0;
    }
    const bool modelOnly = argc >= 3 && std::strcmp(argv[1], "--model") == 0;
    const int first = modelOnly ? 3 : 1;
    const int groups = argc > first ? std::atoi(argv[first]) : 40;
    const int points = argc > first + 1 ? std::atoi(argv[first + 1]) : 25000;
    if (modelOnly) {
        writeModel(argv[2], groups, points);
        return 0;
    }
    const std::string dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const std::string base = dir + "/quarlen_bench_" + std::to_string(getpid());
    const std::string in = base + ".rsr", out = base + ".obj", ref = base + "_ref.obj";

    writeModel(in, groups, points);
    std::printf("model: %d groups, %d points, %d four-corner facets with texture corners, "
                "%d texture vertices, 8 materials; %.1f MB\n",
                groups, groups * points, groups * points, groups * points, fileMB(in));

    const double own = seconds([&] { convertRSR(in.c_str(), out.c_str()); });
    const double outMB = fileMB(out);
    const double plain = seconds([&] { stdioConvert(in.c_str(), ref.c_str(), false); });
    const bool same = sameFile(out, ref);
    const double flushing = seconds([&] { stdioConvert(in.c_str(), ref.c_str(), true); });

    std::printf("output: %.1f MB, identical to the stdio conversion: %s\n", outMB, same ? "yes" : "NO");
    std::printf("%-36s %8s %10s %10s\n", "conversion", "seconds", "out MB/s", "speed-up");
    auto row = [&](const char* what, double t) {
        std::printf("%-36s %8.3f %10.1f %9.1fx\n", what, t, outMB / t, t / own);
    };
    row("quarlen", own);
    row("fprintf, fflush at every step", flushing);
    row("fprintf, ordinary buffering", plain);

    // Peak memory follows the largest group: four times the groups of the
    // same size should need no more.
    const double peak = peakMB(argv[0], in, out);
    writeModel(in, groups * 4, points);
    const double peak4 = peakMB(argv[0], in, out);
    writeModel(in, 1, points * 4);
    const double peakBig = peakMB(argv[0], in, out);
    std::printf("peak memory: %.1f MB for %d groups of %d points; %.1f MB for %d such groups; "
                "%.1f MB for one group of %d points\n",
                peak, groups, points, peak4, groups * 4, peakBig, points * 4);

    std::remove(in.c_str());
    std::remove(out.c_str());
    std::remove(ref.c_str());
    return same ? 0 : 1;
}
