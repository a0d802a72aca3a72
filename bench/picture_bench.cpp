// Times pictures of the benchmark's generated models (bench_model.h), whose
// facets span the whole model, the worst case: 1 group of 1,000,000 points
// and 40 groups of 25,000 (78 MB each) and 1 group of 12,800 (1 MB); and of
// a model of small facets as figures have them, 13 spheres of 1,681 points
// (1 MB). Each is drawn into a 256 x 256 PNG by the run on one thread,
// best of several runs in time passed and in processor time (the targets
// are for one core), against its conversion to OBJ text; then the peak
// memory of a fresh process that draws against one that converts. Prints
// figures and the speed targets; asserts nothing about time. For whole
// processes (farm-bench), --draw draws one model and exits, and --model
// writes one.
//
//   quarlen_picture_bench [--runs N] [--size N]
//   quarlen_picture_bench --draw IN.rsr OUT.png [SIZE]
//   quarlen_picture_bench --peak png|obj IN.rsr OUT   (prints peak KB)
//   quarlen_picture_bench --model OUT.rsr              (the spheres)
#include <algorithm>
#include <cmath>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/bench_model.h"
#include "convert/options/output_options.h"
#include "convert/picture/view_bounds.h"
#include "bench/bench_timing.h"
#include "convert/run/run.h"

using namespace quarlen;

namespace {

void ignore(void*, const char*, const char*, unsigned) {}

// The processor time f takes, which other work on a shared machine does
// not add to as it does to the time that passes.
template <class F>
double cpuSeconds(F f) {
    const std::clock_t t0 = std::clock();
    f();
    return double(std::clock() - t0) / CLOCKS_PER_SEC;
}

// One conversion on one thread: a picture of `size` pixels when size > 0,
// else OBJ text.
RunOutcome convertOnce(const std::string& in, const std::string& out, int size) {
    OutputOptions o;
    o.png = size > 0;
    o.pictureSize = size;
    RunRequest req;
    req.input = in.c_str();
    req.output = out.c_str();
    req.options = size > 0 ? &o : nullptr;
    req.notices = {ignore, nullptr};
    req.threads = 1;
    return convertRSR(req).outcome;
}

// Peak resident memory in MB of a fresh process that converts in to out.
double peakMB(const char* self, const char* kind, const std::string& in, const std::string& out) {
    const std::string cmd = std::string(self) + " --peak " + kind + " " + in + " " + out;
    FILE* p = popen(cmd.c_str(), "r");
    double kb = -1;
    if (p && std::fscanf(p, "%lf", &kb) != 1) kb = -1;
    if (p) pclose(p);
    return kb / 1024.0;
}

// Spheres of 40 x 40 quads each, of 1 unit at random places within 10,
// each a group with a material of its own.
bool writeSpheres(const std::string& path, int spheres) {
    const int n = 40;
    uint32_t seed = 7;
    std::vector<GroupSpec> groups;
    for (int k = 0; k < spheres; ++k) {
        GroupSpec& g = groups.emplace_back();
        g.name = "sphere" + std::to_string(k);
        g.mats = {"skin" + std::to_string(k)};
        const float c[3] = {unit(seed) * 10, unit(seed) * 10, unit(seed) * 10};
        for (int i = 0; i <= n; ++i)
            for (int j = 0; j <= n; ++j) {
                const double a = 3.14159265 * i / n, b = 2 * 3.14159265 * j / n;
                g.xyz.insert(g.xyz.end(), {c[0] + float(std::sin(a) * std::cos(b)), c[1] + float(std::cos(a)),
                                           c[2] + float(std::sin(a) * std::sin(b))});
            }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                g.faces.push_back({int32_t(g.pf.size()), 4, 0});
                g.pf.insert(g.pf.end(), {i * (n + 1) + j, (i + 1) * (n + 1) + j, (i + 1) * (n + 1) + j + 1,
                                         i * (n + 1) + j + 1});
            }
    }
    const Bytes b = buildRsr(groups);
    FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f && std::fwrite(b.data(), 1, b.size(), f) == b.size();
    if (f && std::fclose(f) == 0 && written) return true;
    std::perror(path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--draw") == 0)
        return convertOnce(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : 256) == RunOutcome::finished ? 0 : 1;
    if (argc == 3 && std::strcmp(argv[1], "--model") == 0) {
        return writeSpheres(argv[2], 13) ? 0 : 1;
    }
    if (argc == 5 && std::strcmp(argv[1], "--peak") == 0) {
        convertOnce(argv[3], argv[4], std::strcmp(argv[2], "png") == 0 ? 256 : 0);
        struct rusage ru {};
        getrusage(RUSAGE_SELF, &ru);
        std::printf("%ld\n", ru.ru_maxrss);
        return 0;
    }
    int runs = 5, size = 256;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--size") == 0) size = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::string dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const std::string base = dir + "/quarlen_picture_bench_" + std::to_string(getpid());
    const std::string in = base + ".rsr", png = base + ".png", obj = base + ".obj";

    std::printf("%dx%d pictures on one thread, best of %d runs; the 78 MB models' facets span the whole model\n",
                size, size, runs);
    std::printf("%-12s %8s | %9s %9s %9s %9s | %9s %9s | %s\n", "model", "MB", "picture s", "CPU s", "framing s",
                "OBJ s", "peak MB", "OBJ peak", "target (CPU)");
    struct Model {
        int groups, points;  // groups 0: the spheres
        double target;       // seconds
    } models[] = {{1, 1000000, 0.5}, {40, 25000, 0.5}, {1, 12800, 0.02}, {0, 13, 0.02}};
    bool drawn = true;
    for (const Model& m : models) {
        if (m.groups)
            writeModel(in, m.groups, m.points);
        else
            writeSpheres(in, m.points);
        double picture = 1e9, cpu = 1e9, framing = 1e9, text = 1e9;
        for (int i = 0; i < runs; ++i) {
            double wall = 0;
            cpu = std::min(cpu, cpuSeconds([&] {
                wall = seconds([&] { drawn = convertOnce(in, png, size) == RunOutcome::finished && drawn; });
            }));
            picture = std::min(picture, wall);
            framing = std::min(framing, seconds([&] {
                ViewBounds b;
                readViewBounds(in.c_str(), std::nullopt, pageView(), b);
            }));
            text = std::min(text, seconds([&] { convertOnce(in, "/dev/null", 0); }));
        }
        const std::string name = m.groups ? std::to_string(m.groups) + "x" + std::to_string(m.points) : "spheres";
        std::printf("%-12s %8.1f | %9.3f %9.3f %9.3f %9.3f | %9.1f %9.1f | <= %.2f s: %s\n", name.c_str(),
                    fileMB(in), picture, cpu, framing, text, peakMB(argv[0], "png", in, png),
                    peakMB(argv[0], "obj", in, obj), m.target, cpu <= m.target ? "met" : "NOT met");
    }
    std::printf("(picture: the time that passed, CPU: the processor time, each the least of the runs; framing: the\n"
                " pass that reads the points' extent, part of the picture's time; OBJ: to /dev/null)\n");
    std::remove(in.c_str());
    std::remove(png.c_str());
    std::remove(obj.c_str());
    return drawn ? 0 : 1;
}
