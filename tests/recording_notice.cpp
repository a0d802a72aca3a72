#include "tests/recording_notice.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <unistd.h>

#include "convert/run/notice.h"
#include "convert/options/output_options.h"

using namespace quarlen;

std::vector<Shown> shown;
std::string watched;

namespace {
void recordShown(void*, const char* text, const char* caption, unsigned style) {
    shown.push_back({text, caption, style, watched.empty() ? "" : readFile(watched)});
}
}  // namespace

const NoticeSink recorded{recordShown, nullptr};

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

namespace {

// A folder of this process's own, made afresh, so that paths never meet
// those another test process left behind (process numbers come round
// again); removed when the process ends.
struct TempFolder {
    pid_t owner = 0;
    std::string path;
    ~TempFolder() {
        if (owner == ::getpid()) std::filesystem::remove_all(path);
    }
};

const std::string& tempFolder() {
    static TempFolder folder;
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    if (folder.owner != ::getpid()) {  // the first call, or the first in a child process
        std::string name = testing::TempDir() + "quarlen_XXXXXX";
        if (!mkdtemp(name.data())) ADD_FAILURE() << "no temporary folder in " << testing::TempDir();
        folder.owner = ::getpid();
        folder.path = name;
    }
    return folder.path;
}

}  // namespace

std::string tempPath(const std::string& suffix) {
    static std::atomic<int> n{0};
    return tempFolder() + "/" + std::to_string(::getpid()) + "_" + std::to_string(n++) + suffix;
}

Converted convertBytes(const Bytes& rsr, const OutputOptions* options) {
    Converted c;
    c.in = tempPath(".rsr");
    c.out = tempPath(".obj");
    writeFile(c.in, rsr);
    shown.clear();
    watched = c.out;
    RunRequest req;
    req.input = c.in.c_str();
    req.output = c.out.c_str();
    req.options = options;
    req.notices = recorded;
    c.outcome = convertRSR(req).outcome;
    watched.clear();
    c.notices = shown;
    c.obj = readFile(c.out);
    std::remove(c.in.c_str());
    std::remove(c.out.c_str());
    if (options && options->mtl) std::remove((c.out.substr(0, c.out.size() - 4) + ".mtl").c_str());
    return c;
}

namespace {

struct Recorder {
    std::vector<Shown> shown;
    std::string watched;
};

void record(void* ctx, const char* text, const char* caption, unsigned style) {
    auto* r = static_cast<Recorder*>(ctx);
    r->shown.push_back({text, caption, style, readFile(r->watched)});
}

}  // namespace

Converted convertPaths(const std::string& in, const std::string& out, unsigned threads, uint32_t chunk,
                       const OutputOptions* options) {
    Converted c;
    c.in = in;
    c.out = out;
    Recorder r;
    r.watched = c.out;
    RunRequest req;
    req.input = c.in.c_str();
    req.output = c.out.c_str();
    req.notices = {record, &r};
    req.threads = threads;
    req.chunk = chunk;
    req.options = options;
    c.outcome = convertRSR(req).outcome;
    c.notices = r.shown;
    c.obj = readFile(c.out);
    if (options && options->mtl) {
        const std::string mtl = c.out.substr(0, c.out.size() - 4) + ".mtl";
        c.mtl = readFile(mtl);
        std::remove(mtl.c_str());
    }
    return c;
}

Converted convertBytes(const Bytes& rsr, unsigned threads, uint32_t chunk, const OutputOptions* options) {
    const std::string in = tempPath(".rsr"), out = tempPath(".obj");
    writeFile(in, rsr);
    Converted c = convertPaths(in, out, threads, chunk, options);
    std::remove(in.c_str());
    std::remove(out.c_str());
    return c;
}

namespace {

struct MemoryRun {
    std::vector<Shown> shown;
    std::string obj;
};

bool appendTo(void* ctx, const char* p, size_t n) {
    static_cast<MemoryRun*>(ctx)->obj.append(p, n);
    return true;
}

void recordInMemory(void* ctx, const char* text, const char* caption, unsigned style) {
    auto* m = static_cast<MemoryRun*>(ctx);
    m->shown.push_back({text, caption, style, m->obj});
}

}  // namespace

Converted convertInMemory(const Bytes& rsr, unsigned threads, uint32_t chunk) {
    Converted c;
    c.in = "in.rsr";
    c.out = "out.obj";
    MemoryRun m;
    const RunRequest req{.input = c.in.c_str(), .inputBytes = rsr,
                         .output = c.out.c_str(), .sink = {appendTo, &m}, .notices = {recordInMemory, &m},
                         .threads = threads, .chunk = chunk};
    c.outcome = convertRSR(req).outcome;
    c.notices = m.shown;
    c.obj = m.obj;
    return c;
}

std::string runSummary(const Converted& c) {
    // The material file's name in the "mtllib" line is the output's own.
    const size_t slash = c.out.rfind('/');
    const std::string named = "mtllib " + c.out.substr(slash + 1, c.out.size() - slash - 5) + ".mtl";
    auto same = [&](std::string text) {
        for (size_t at; (at = text.find(named)) != std::string::npos;) text.replace(at, named.size(), "mtllib <out>.mtl");
        return text;
    };
    std::string s = std::to_string(int(c.outcome)) + "\n";
    for (const Shown& n : c.notices) {
        const std::string caption = n.caption == c.in ? "<in>" : n.caption == c.out ? "<out>" : n.caption;
        s += caption + "|" + std::to_string(n.style) + "|" + n.text + "|on disk:\n" + same(n.on_disk) + "\n";
    }
    return s + "file:\n" + same(c.obj) + (c.mtl.empty() ? "" : "mtl:\n" + c.mtl);
}
