#include "tests/recording_notice.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <unistd.h>

#include "convert/format/notice.h"
#include "convert/options/output_options.h"

using namespace quarlen;

NoticeSink recordInto(std::vector<Shown>& to) {
    return {[](void* ctx, const char* text, const char* caption, unsigned style) {
                static_cast<std::vector<Shown>*>(ctx)->push_back({text, caption, style, ""});
            }, &to};
}

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

namespace {

// One run's notices, each with what the output held at that moment: the
// file at `watched`, or else what reached the run's sink `obj`.
struct Recorder {
    std::vector<Shown> shown;
    std::string watched;
    std::string obj, mtl;
};

void record(void* ctx, const char* text, const char* caption, unsigned style) {
    auto* r = static_cast<Recorder*>(ctx);
    r->shown.push_back({text, caption, style, r->watched.empty() ? r->obj : readFile(r->watched)});
}

bool appendTo(void* to, const char* p, size_t n) {
    static_cast<std::string*>(to)->append(p, n);
    return true;
}

// Runs req, given its input and output, with the recorder's notice sink.
Converted recordRun(RunRequest req, Recorder& r) {
    Converted c;
    c.in = req.input;
    c.out = req.output;
    req.notices = {record, &r};
    c.outcome = convertRSR(req).outcome;
    c.notices = r.shown;
    c.obj = r.watched.empty() ? r.obj : readFile(r.watched);
    c.mtl = r.mtl;
    return c;
}

}  // namespace

Converted convertPaths(const std::string& in, const std::string& out, unsigned threads, uint32_t chunk,
                       const OutputOptions* options) {
    Recorder r;
    r.watched = out;
    Converted c = recordRun({.input = in.c_str(), .output = out.c_str(), .options = options, .threads = threads,
                             .chunk = chunk}, r);
    if (options && options->mtl) {
        const std::string mtl = out.substr(0, out.size() - 4) + ".mtl";
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

Converted convertBytes(const Bytes& rsr, const OutputOptions* options) { return convertBytes(rsr, 0, 0, options); }

Converted convertInMemory(const Bytes& rsr, unsigned threads, uint32_t chunk, const OutputOptions* options) {
    Recorder r;
    return recordRun({.input = "in.rsr", .inputBytes = rsr, .output = "out.obj", .sink = {appendTo, &r.obj},
                      .mtlSink = {appendTo, &r.mtl}, .options = options, .threads = threads, .chunk = chunk},
                     r);
}

namespace {

struct Limited {
    std::string& text;
    size_t limit;
    int error;
    bool failed = false;  // a write has failed
};

bool limitedWrite(void* ctx, const char* p, size_t n) {
    Limited& l = *static_cast<Limited*>(ctx);
    const size_t room = l.limit - std::min(l.limit, l.text.size());
    l.text.append(p, std::min(n, room));
    if (n > room && l.error > 0) errno = l.failed ? EIO : l.error;
    l.failed = l.failed || n > room;
    if (n <= room && l.error < 0) errno = -l.error;
    return n <= room;
}

}  // namespace

Converted convertInMemoryLimited(const Bytes& rsr, size_t limit, int error) {
    Recorder r;
    Limited l{r.obj, limit, error};
    return recordRun({.input = "in.rsr", .inputBytes = rsr, .output = "out.obj", .sink = {limitedWrite, &l}}, r);
}

Converted convertInMemory(const Bytes& rsr, const OutputOptions& options) { return convertInMemory(rsr, 0, 0, &options); }

void expectRun(const Converted& c, RunOutcome outcome, const std::vector<Expected>& notices, const std::string& obj,
               const std::string& what) {
    EXPECT_EQ(c.outcome, outcome) << what;
    ASSERT_EQ(c.notices.size(), notices.size()) << what;
    for (size_t i = 0; i < notices.size(); ++i) {
        const Expected& e = notices[i];
        const Shown& s = c.notices[i];
        EXPECT_EQ(s.text, e.text) << what << " #" << i;
        EXPECT_EQ(s.caption, e.caption == "in" ? c.in : e.caption == "out" ? c.out : e.caption) << what << " #" << i;
        EXPECT_EQ(s.style, e.style) << what << " #" << i;
        EXPECT_EQ(s.on_disk, e.on_disk) << what << " #" << i;
    }
    EXPECT_EQ(c.obj, obj) << what;
}

std::string runSummary(const Converted& c, bool withOutput) {
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
        s += caption + "|" + std::to_string(n.style) + "|" + n.text + (withOutput ? "|on disk:\n" + same(n.on_disk) : "") + "\n";
    }
    if (!withOutput) return s;
    return s + "file:\n" + same(c.obj) + (c.mtl.empty() ? "" : "mtl:\n" + c.mtl);
}
