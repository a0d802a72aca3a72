// Times the conversion of a whole library: 1,000 generated files of 2 KB to
// 200 KB in nested folders, converted by the batch form with one and with
// two jobs, and by a shell loop that calls the one-file form once per file.
// -j1 and -j2 run in pairs, in turns, and the figures are medians: of the
// times, and of each pair's ratio, so that a busy moment of a shared
// machine falls on both sides of a pair. Prints figures; asserts nothing
// about time.
//
//   quarlen_library_bench QUARLEN [FILES [PAIRS]]   (default 1000 files, 15 pairs)
//   QUARLEN_KEEP_LIBRARY=1 keeps the generated library afterwards.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "tests/model_gen.h"


namespace fs = std::filesystem;

namespace {

// A file of `bytes` give or take 100: one group of quads with texture
// corners, each point bringing 78 bytes (its coordinates, one facet of 4
// corners and its texture side).
Bytes makeFile(uint32_t seed, double bytes) {
    Dice d(seed);
    const int points = std::max(4, int((bytes - 400) / 78));
    GroupSpec g{.name = "body", .texq = true, .mats = {"skin", "cloth"}};
    for (int i = 0; i < points; ++i) {
        for (int k = 0; k < 3; ++k) g.xyz.push_back(d.coordinate());
        for (int k = 0; k < 2; ++k) g.uv.push_back(d.coordinate());
        g.faces.push_back({4 * i, 4, int16_t(i / 100 % 2)});
        g.faces2.push_back({4 * i, 4});
        for (int k = 0; k < 4; ++k) {
            g.pf.push_back(d.upTo(0, points - 1));
            g.pt.push_back(d.upTo(0, points - 1));
        }
    }
    return buildRsr({g});
}

std::string tag(const char* prefix, int n) {
    std::string s = prefix;
    s += std::to_string(n);
    return s;
}

struct Timing {
    double wall, cpu;  // seconds; cpu: user and system time of the command's processes
};

double cpuOfChildren() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// Runs setup untimed, then times command.
Timing timed(const std::string& setup, const std::string& command) {
    if (std::system(setup.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", setup.c_str());
    const double cpu = cpuOfChildren();
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), cpuOfChildren() - cpu};
}

// The system's load average over the last minute, where the system says it
// (Linux): a busy shared machine spreads the figures.
std::string loadAverage() {
    char text[64] = "unknown";
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%63s", text) != 1) std::strcpy(text, "unknown");
        std::fclose(f);
    }
    return text;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s QUARLEN [FILES]\n", argv[0]);
        return 2;
    }
    const std::string quarlen = fs::absolute(argv[1]).string();
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int pairs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
    // In memory where the system has it: on a disk, creating a thousand files
    // right after deleting as many costs more in the file system than the
    // conversions do, and the figures would measure that.
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path root = base / "quarlen_library_bench";
    fs::remove_all(root);

    // Sizes spread evenly on a log scale from 2 KB to 200 KB, ten files to a
    // folder, folders three deep.
    uint64_t total = 0;
    size_t smallest = SIZE_MAX, largest = 0;
    for (int i = 0; i < files; ++i) {
        const double want = 2000.0 * std::pow(100.0, double(i % 97) / 96.0);
        const fs::path dir = root / "lib" / tag("a", i / 100) / tag("b", i / 10 % 10);
        fs::create_directories(dir);
        const Bytes b = makeFile(uint32_t(i + 1), want);
        FILE* f = std::fopen((dir / (tag("m", i) + ".rsr")).c_str(), "wb");
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
        total += b.size();
        smallest = std::min(smallest, b.size());
        largest = std::max(largest, b.size());
    }
    const double mb = double(total) / 1e6;
    std::printf("library: %d files, %.1f MB, %zu to %zu bytes each, in %s\n", files, mb, smallest, largest,
                root.c_str());

    std::string lib = "'";  // built in steps: GCC 12 warns falsely on "'" + string
    lib += (root / "lib").string();
    lib += "'";
    const std::string clean = "find " + lib + " -name '*.obj' -delete";
    const std::string loop = "find " + lib + " -name '*.rsr' | while IFS= read -r f; do '" + quarlen +
                             "' \"$f\" \"${f%.rsr}.obj\" 2>/dev/null; done";
    const std::string loadBefore = loadAverage();
    std::vector<double> loopWall;
    for (int i = 0; i < 3; ++i) loopWall.push_back(timed(clean, loop).wall);

    const std::string jobs[2] = {"'" + quarlen + "' -q -r -j1 " + lib + " 2>/dev/null",
                                 "'" + quarlen + "' -q -r -j2 " + lib + " 2>/dev/null"};
    std::vector<double> wall[2], cpu[2], ratio;
    for (int i = 0; i < pairs; ++i) {
        Timing t[2];
        for (int k = 0; k < 2; ++k) {
            const int j = (i + k) % 2;  // the pairs start with -j1 and -j2 in turns
            t[j] = timed(clean, jobs[j]);
            wall[j].push_back(t[j].wall);
            cpu[j].push_back(t[j].cpu);
        }
        ratio.push_back(t[0].wall / t[1].wall);
    }

    std::printf("medians of %d paired runs (the shell loop: of 3); load average %s before, %s after\n", pairs,
                loadBefore.c_str(), loadAverage().c_str());
    std::printf("%-34s %9s %9s %9s %9s\n", "conversion", "seconds", "files/s", "MB/s", "CPU s");
    auto row = [&](const char* name, double t, double c) {
        std::printf("%-34s %9.3f %9.0f %9.1f %9.3f\n", name, t, files / t, mb / t, c);
    };
    const double tLoop = median(loopWall), t1 = median(wall[0]);
    std::printf("%-34s %9.3f %9.0f %9.1f %9s\n", "shell loop, one file per call", tLoop, files / tLoop, mb / tLoop, "-");
    row("batch form -j1", t1, median(cpu[0]));
    row("batch form -j2", median(wall[1]), median(cpu[1]));
    std::printf("-j1 vs shell loop: %.1fx (target 4x)\n", tLoop / t1);
    std::printf("-j2 vs -j1:        %.2fx (target 1.7x; median of the pairs' ratios, lowest %.2fx, highest %.2fx)\n",
                median(ratio), *std::min_element(ratio.begin(), ratio.end()),
                *std::max_element(ratio.begin(), ratio.end()));
    // When other work holds a core, -j2 runs on one; the fastest run of each
    // shows what the cores give when both are free.
    const double best1 = *std::min_element(wall[0].begin(), wall[0].end());
    const double best2 = *std::min_element(wall[1].begin(), wall[1].end());
    std::printf("fastest runs:      -j1 %.3f s, -j2 %.3f s: %.2fx\n", best1, best2, best1 / best2);
    if (!std::getenv("QUARLEN_KEEP_LIBRARY")) fs::remove_all(root);
    return 0;
}
