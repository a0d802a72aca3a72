// Times the conversion of a large generated model: the program's own on
// one and two threads, and the plain stdio way with ordinary buffering,
// each to /dev/null and to a file, best of several runs. Also measures peak
// memory against the model's size; then GLB against OBJ with --clean --mtl
// --triangulate on 1 group of 1,000,000 points and 40 of 25,000, on one
// thread and two. Prints figures and the speed targets; asserts nothing
// about time. bench/against_release.sh compares whole
// processes with an earlier release built from history.
//
//   quarlen_bench [--runs N] [--flushing] [GROUPS [POINTS_PER_GROUP]]
//                 (default 3 runs of 40 groups of 25000; --flushing adds
//                 stdio flushing at every step, which takes a while)
//   quarlen_bench --model OUT.rsr [GROUPS [POINTS_PER_GROUP]]
//                 only writes the model, for trying it in other programs
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/stdio_reference.h"
#include "bench/bench_timing.h"
#include "convert/run/run.h"
#include "convert/options/output_options.h"
#include "convert/format/notice.h"
#include "bench/bench_model.h"

using namespace quarlen;

namespace {

void ignore(void*, const char*, const char*, unsigned) {}

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

void convertWith(unsigned threads, const std::string& in, const std::string& out) {
    RunRequest req;
    req.input = in.c_str();
    req.output = out.c_str();
    req.notices = {ignore, nullptr};
    req.threads = threads;
    convertRSR(req);
}

// Peak resident memory in MB of a fresh process of this program that
// converts in to out (see --peak in main).
double peakMB(const char* self, unsigned threads, const std::string& in, const std::string& out) {
    const std::string cmd = std::string(self) + " --peak " + std::to_string(threads) + " " + in + " " + out;
    FILE* p = popen(cmd.c_str(), "r");
    double kb = -1;
    if (p && std::fscanf(p, "%lf", &kb) != 1) kb = -1;
    if (p) pclose(p);
    return kb / 1024.0;
}

// MB of input per second, GLB against OBJ as readers take it, best of
// `runs` runs each, in turn; the GLB must take no more than 1.25 times the
// OBJ's time.
void glbAgainstObj(const std::string& in, const std::string& out, int runs) {
    const OutputOptions obj{.clean = true, .mtl = true, .triangulate = true}, glb{.glb = true};
    std::printf("\n%-14s %7s | %9s %9s %9s  (MB of input per second, best of %d)\n", "GLB vs OBJ", "threads",
                "OBJ", "GLB", "GLB/OBJ", runs);
    for (const auto& [groups, points] : {std::pair{1, 1000000}, std::pair{40, 25000}}) {
        writeModel(in, groups, points);
        const double mb = fileMB(in);
        for (unsigned threads : {1u, 2u}) {
            double best[2] = {1e9, 1e9};
            for (int i = 0; i < runs; ++i)
                for (int k = 0; k < 2; ++k)
                    best[k] = std::min(best[k], seconds([&] {
                                           RunRequest req;
                                           req.input = in.c_str();
                                           req.output = out.c_str();
                                           req.options = k ? &glb : &obj;
                                           req.notices = {ignore, nullptr};
                                           req.threads = threads;
                                           convertRSR(req);
                                       }));
            const std::string model = std::to_string(groups) + "x" + std::to_string(points);
            std::printf("%-14s %7u | %9.1f %9.1f %8.2fx  target >= 0.80x: %s\n", model.c_str(), threads, mb / best[0],
                        mb / best[1], best[0] / best[1], best[0] / best[1] >= 0.8 ? "met" : "NOT met");
        }
    }
    std::remove((out.substr(0, out.size() - 4) + ".mtl").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--peak") == 0) {
        convertWith(unsigned(std::atoi(argv[2])), argv[3], argv[4]);
        struct rusage ru {};
        getrusage(RUSAGE_SELF, &ru);
        std::printf("%ld\n", ru.ru_maxrss);
        return 0;
    }
    int first = 1, runs = 3;
    bool flushing = false;
    for (; first < argc && argv[first][0] == '-' && std::strcmp(argv[first], "--model") != 0; ++first) {
        if (std::strcmp(argv[first], "--flushing") == 0) flushing = true;
        if (std::strcmp(argv[first], "--runs") == 0 && first + 1 < argc) runs = std::max(1, std::atoi(argv[++first]));
    }
    const bool modelOnly = argc >= first + 2 && std::strcmp(argv[first], "--model") == 0;
    if (modelOnly) first += 2;
    const int groups = argc > first ? std::atoi(argv[first]) : 40;
    const int points = argc > first + 1 ? std::atoi(argv[first + 1]) : 25000;
    if (modelOnly) {
        writeModel(argv[first - 1], groups, points);
        return 0;
    }
    const std::string dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const std::string base = dir + "/quarlen_bench_" + std::to_string(getpid());
    const std::string in = base + ".rsr", out = base + ".obj", ref = base + "_ref.obj";
    const std::string null = "/dev/null";

    writeModel(in, groups, points);
    std::printf("model: %d groups, %d points, %d four-corner facets with texture corners, "
                "%d texture vertices, 8 materials; %.1f MB\n",
                groups, groups * points, groups * points, groups * points, fileMB(in));

    // Every conversion must make the same bytes as the plain stdio one.
    stdioConvert(in.c_str(), ref.c_str(), false);
    const double outMB = fileMB(ref);
    bool same = true;
    for (unsigned threads : {1u, 2u}) {
        convertWith(threads, in, out);
        same = same && sameFile(out, ref);
    }
    std::printf("output: %.1f MB, identical in every conversion: %s\n", outMB, same ? "yes" : "NO");

    struct Row {
        const char* what;
        unsigned threads;
        std::function<void(const std::string&)> run;
        double toNull = 0, toFile = 0;
    };
    Row rows[] = {
        {"quarlen", 1, [&](const std::string& o) { convertWith(1, in, o); }},
        {"quarlen", 2, [&](const std::string& o) { convertWith(2, in, o); }},
        {"fprintf, ordinary buffering", 1, [&](const std::string& o) { stdioConvert(in.c_str(), o.c_str(), false); }},
    };
    // Runs alternate between the conversions, so that a busy moment on a
    // shared machine does not fall on one of them only.
    for (int i = 0; i < runs; ++i) {
        for (Row& r : rows) {
            const double a = seconds([&] { r.run(null); }), b = seconds([&] { r.run(out); });
            r.toNull = i ? std::min(r.toNull, a) : a;
            r.toFile = i ? std::min(r.toFile, b) : b;
        }
    }
    const Row& base1 = rows[0];
    const Row& plain = rows[2];
    std::printf("\nbest of %d runs, MB of OBJ text per second\n", runs);
    std::printf("%-28s %7s | %9s %8s %8s | %9s %8s %8s\n", "conversion", "threads", "/dev/null", "x 1 thr",
                "x fprintf", "file", "x 1 thr", "x fprintf");
    for (const Row& r : rows)
        std::printf("%-28s %7u | %9.1f %7.2fx %7.1fx | %9.1f %7.2fx %7.1fx\n", r.what, r.threads, outMB / r.toNull,
                    base1.toNull / r.toNull, plain.toNull / r.toNull, outMB / r.toFile, base1.toFile / r.toFile,
                    plain.toFile / r.toFile);
    if (flushing) {
        const double t = seconds([&] { stdioConvert(in.c_str(), out.c_str(), true); });
        std::printf("%-28s %7u | %9s %8s %8s | %9.1f %7.2fx %7.1fx\n", "fprintf, fflush every step", 1u, "-", "-",
                    "-", outMB / t, base1.toFile / t, plain.toFile / t);
    }

    auto target = [](const char* what, double got, double want) {
        std::printf("target %-48s >= %5.2fx: %6.2fx %s\n", what, want, got, got >= want ? "met" : "NOT met");
    };
    std::printf("\n");
    target("2 threads vs buffered fprintf, /dev/null", plain.toNull / rows[1].toNull, 12.0);
    target("2 threads vs buffered fprintf, file", plain.toFile / rows[1].toFile, 12.0);

    // The output options on the same model against the default, each the
    // best of three runs to a file. Their outputs differ in size; the last
    // column compares times.
    auto withOptions = [&](const OutputOptions* o) {
        double t = 1e9;
        for (int i = 0; i < 3; ++i)
            t = std::min(t, seconds([&] {
                RunRequest req;
                req.input = in.c_str();
                req.output = out.c_str();
                req.options = o;
                req.notices = {ignore, nullptr};
                convertRSR(req);
            }));
        return t;
    };
    const double plainRun = withOptions(nullptr);
    std::printf("\n%-36s %8s %10s %10s\n", "output options, best of 3", "seconds", "out MB/s", "time");
    auto optionRow = [&](const char* what, const OutputOptions* o) {
        const double t = o ? withOptions(o) : plainRun;
        std::printf("%-36s %8.3f %10.1f %9.2fx  (%.1f MB written)\n", what, t, fileMB(out) / t, t / plainRun,
                    fileMB(out));
    };
    const OutputOptions readers{.clean = true, .mtl = true, .triangulate = true}, weld{.weld = true},
        lf{.lf = true};
    optionRow("quarlen", nullptr);
    optionRow("quarlen --clean --mtl --triangulate", &readers);
    optionRow("quarlen --weld", &weld);
    optionRow("quarlen --lf", &lf);
    std::remove((out.substr(0, out.size() - 4) + ".mtl").c_str());

    // Peak memory follows the largest group: four times the groups of the
    // same size should need no more.
    struct Peak {
        const char* what;
        unsigned threads;
        double mb[3];
    } peaks[] = {{"quarlen", 1, {}}, {"quarlen", 2, {}}};
    const std::pair<int, int> shapes[] = {{groups, points}, {groups * 4, points}, {1, points * 4}};
    for (int k = 0; k < 3; ++k) {
        writeModel(in, shapes[k].first, shapes[k].second);
        for (Peak& p : peaks) p.mb[k] = peakMB(argv[0], p.threads, in, out);
    }
    std::printf("\n%-28s %7s |", "peak memory, MB", "threads");
    for (const auto& [g, n] : shapes) std::printf(" %10s", (std::to_string(g) + "x" + std::to_string(n)).c_str());
    std::printf("  (groups x points)\n");
    for (const Peak& p : peaks)
        std::printf("%-28s %7u | %10.1f %10.1f %10.1f\n", p.what, p.threads, p.mb[0], p.mb[1], p.mb[2]);

    glbAgainstObj(in, out, runs);

    std::remove(in.c_str());
    std::remove(out.c_str());
    std::remove(ref.c_str());
    return same ? 0 : 1;
}
