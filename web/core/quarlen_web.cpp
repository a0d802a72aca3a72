// The web page's WebAssembly entry point: converts one file's bytes as the
// console program's batch form does (`quarlen -r FOLDER` writes FOLDER/A.obj
// for FOLDER/A.rsr), and describes the file as `quarlen --info` does. The
// run reads the bytes where they lie and writes the outputs into buffers
// that the result hands to the page.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include <emscripten/emscripten.h>

#include "frontend/notice_console.h"
#include "frontend/info_print.h"
#include "frontend/output_flags.h"
#include "convert/run/run.h"
#include "convert/options/info.h"
#include "convert/run/notice.h"
#include "convert/options/option_table.h"

using namespace quarlen;

namespace {

// One file's outcome, read by the worker as 32-bit words and then doubles,
// in this order. Every buffer is the result's own; web_free releases them.
struct WebResult {
    uint32_t converted;  // 1 when the run finished
    char* obj;           // the .obj bytes, or null
    uint32_t objSize;
    char* mtl;           // the .mtl bytes, or null
    uint32_t mtlSize;
    char* notices;       // the conversion's notices, one console line each
    uint32_t noticesSize;
    char* info;          // --info's notices and report for the file
    uint32_t infoSize;
    uint32_t pad;
    double groups, points, textureVertices, facets;  // what the file holds, as --info counts it
    double convertSeconds, infoSeconds;  // time in the run and in the report, for the benchmark
};
static_assert(offsetof(WebResult, groups) == 40, "the worker reads the counts at byte 40");

// An output gathered in memory; it doubles as it grows, so that a large
// one is copied about once. A refused growth fails the run's write, which
// the run tells as it tells a full disk.
struct Grown {
    char* data = nullptr;
    size_t size = 0, cap = 0;
};

bool grow(void* ctx, const char* p, size_t n) {
    Grown& g = *static_cast<Grown*>(ctx);
    if (n > UINT32_MAX - g.size) {
        errno = ENOMEM;
        return false;
    }
    if (g.size + n > g.cap) {
        size_t cap = g.cap ? g.cap : size_t(1) << 16;
        while (cap < g.size + n) cap = cap > SIZE_MAX / 2 ? g.size + n : cap * 2;
        char* data = static_cast<char*>(std::realloc(g.data, cap));
        if (!data) {
            errno = ENOMEM;
            return false;
        }
        g.data = data;
        g.cap = cap;
    }
    std::memcpy(g.data + g.size, p, n);
    g.size += n;
    return true;
}

void collect(void* ctx, const char* text, const char* caption, unsigned style) {
    *static_cast<std::string*>(ctx) += noticeLine(text, caption, style);
}

char* copyOut(const std::string& s, uint32_t& size) {
    size = uint32_t(s.size());
    char* p = static_cast<char*>(std::malloc(s.size() + 1));
    if (p) std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

bool parseOptions(const char* args, OutputOptions& o, std::string& error) {
    std::vector<std::string> words;
    for (const char* p = args; *p;) {
        const char* end = std::strchr(p, '\n');
        words.emplace_back(p, end ? size_t(end - p) : std::strlen(p));
        p = end ? end + 1 : p + words.back().size();
    }
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    bool info = false;
    for (int i = 0; i < int(argv.size());) {
        const int taken = parseOutputFlag(int(argv.size()), argv.data(), i, o, info, error);
        if (taken <= 0) {
            if (taken == 0) error = "unknown option: " + words[size_t(i)];
            return false;
        }
        i += taken;
    }
    return true;
}

// The report as `quarlen --info` shows it: the notices come before the
// file's lines.
void describe(WebResult& r, const std::string& in, std::span<const unsigned char> bytes, std::string& info) {
    const double started = emscripten_get_now();
    InfoReport report;
    RunRequest req;
    req.input = in.c_str();
    req.inputBytes = bytes;
    req.notices = {collect, &info};
    req.report = &report;
    const RunResult described = convertRSR(req);
    char* text = nullptr;
    size_t length = 0;
    if (FILE* mem = open_memstream(&text, &length)) {
        const InfoSums sums = printFileInfo(mem, in, report, described.outcome);
        std::fclose(mem);
        info.append(text, length);
        r.groups = double(sums.groups);
        r.points = double(sums.points);
        r.textureVertices = double(sums.textureVertices);
        r.facets = double(sums.facets);
    }
    std::free(text);
    r.infoSeconds = (emscripten_get_now() - started) / 1000;
}

}  // namespace

extern "C" {

// Converts the size bytes at input (a block from malloc, which this call
// frees) known to the user as path, a relative name ending in .rsr, with
// the console program's output options in args, one word a line. Returns
// null only when memory runs out before anything ran.
EMSCRIPTEN_KEEPALIVE WebResult* web_convert(const char* path, unsigned char* input, uint32_t size, const char* args) {
    auto* r = static_cast<WebResult*>(std::calloc(1, sizeof(WebResult)));
    if (!r) {
        std::free(input);
        return nullptr;
    }
    std::string notices, info;
    OutputOptions options;
    std::string error;
    const std::string in = path;
    if (!parseOptions(args, options, error)) {
        notices = "quarlen: " + error + "\n";
    } else {
        const std::string out = in.substr(0, in.size() - 4) + outputExtension(options);  // NAME.rsr becomes NAME.obj
        const std::span<const unsigned char> bytes(input, size);
        Grown obj, mtl;
        RunRequest req;
        req.input = in.c_str();
        req.inputBytes = bytes;
        req.output = out.c_str();
        req.sink = {grow, &obj};
        req.mtlSink = {grow, &mtl};
        req.notices = {collect, &notices};
        if (!traditional(options)) req.options = &options;
        const double started = emscripten_get_now();
        const RunResult run = convertRSR(req);
        r->convertSeconds = (emscripten_get_now() - started) / 1000;
        r->converted = run.outcome == RunOutcome::finished;
        // A run that wrote nothing still made its output, empty.
        if (!obj.data && (run.outcome == RunOutcome::finished || run.outcome == RunOutcome::failed))
            obj.data = static_cast<char*>(std::malloc(1));
        r->obj = obj.data;
        r->objSize = uint32_t(obj.size);
        r->mtl = mtl.data;
        r->mtlSize = uint32_t(mtl.size);
        describe(*r, in, bytes, info);
    }
    std::free(input);
    r->notices = copyOut(notices, r->noticesSize);
    r->info = copyOut(info, r->infoSize);
    return r;
}

EMSCRIPTEN_KEEPALIVE void web_free(WebResult* r) {
    if (!r) return;
    std::free(r->obj);
    std::free(r->mtl);
    std::free(r->notices);
    std::free(r->info);
    std::free(r);
}

}  // extern "C"
