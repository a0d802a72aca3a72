// The web page's WebAssembly entry point: converts one file's bytes as the
// console program's batch form does (`quarlen -r FOLDER` writes FOLDER/A.obj
// for FOLDER/A.rsr), and describes the file as `quarlen --info` does.
//
// The run reads and writes files in Emscripten's in-memory file system: the
// input's bytes are written under the path the user knows, so that every
// notice names it as the console program would, and the outputs are read
// back into memory and removed. Only this file knows that.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <emscripten/emscripten.h>

#include "cli/console.h"
#include "cli/output_flags.h"
#include "convert/conversion.h"
#include "convert/info.h"
#include "convert/mtl.h"
#include "convert/notice.h"
#include "convert/obj_options.h"

// Emscripten's in-memory files grow by an eighth at a time past 1 MB, which
// copies a 100 MB output some forty times; doubling copies it about once.
EM_JS(void, double_file_growth, (), {
    MEMFS.expandFileStorage = function(node, wanted) {
        const had = node.contents ? node.contents.length : 0;
        if (had >= wanted) return;
        const grown = new Uint8Array(Math.max(wanted, had * 2, 256));
        if (node.usedBytes > 0) grown.set(node.contents.subarray(0, node.usedBytes), 0);
        node.contents = grown;
    };
});

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

void collect(void* ctx, const char* text, const char* caption, unsigned style) {
    *static_cast<std::string*>(ctx) += noticeLine(text, caption, style);
}

char* copyOut(const std::string& s, uint32_t& size) {
    size = uint32_t(s.size());
    char* p = static_cast<char*>(std::malloc(s.size() + 1));
    if (p) std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

// Reads a whole file and removes it. False when it is missing or memory
// runs out.
bool takeFile(const std::string& path, char*& data, uint32_t& size) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    data = f ? static_cast<char*>(std::malloc(size_t(st.st_size) + 1)) : nullptr;
    const bool read = data && std::fread(data, 1, size_t(st.st_size), f) == size_t(st.st_size);
    if (f) std::fclose(f);
    std::remove(path.c_str());
    if (!read) {
        std::free(data);
        data = nullptr;
        return false;
    }
    size = uint32_t(st.st_size);
    return true;
}

// Makes the folders of path below the working folder.
void makeFolders(const std::string& path) {
    for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0777);
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

}  // namespace

extern "C" {

// Converts the size bytes at input (a block from malloc, which this call
// frees) known to the user as path, a relative name ending in .rsr, with
// the console program's output options in args, one word a line. Returns
// null only when memory runs out before anything ran.
EMSCRIPTEN_KEEPALIVE WebResult* web_convert(const char* path, unsigned char* input, uint32_t size, const char* args) {
    static const bool growing = (double_file_growth(), true);
    (void)growing;
    auto* r = static_cast<WebResult*>(std::calloc(1, sizeof(WebResult)));
    if (!r) {
        std::free(input);
        return nullptr;
    }
    std::string notices, info;
    OutputOptions options;
    std::string error;
    const std::string in = path;
    const std::string out = in.substr(0, in.size() - 4) + ".obj";  // NAME.rsr becomes NAME.obj
    if (!parseOptions(args, options, error)) {
        notices = "quarlen: " + error + "\n";
        std::free(input);
    } else {
        makeFolders(in);
        FILE* f = std::fopen(in.c_str(), "wb");
        const bool written = f && std::fwrite(input, 1, size, f) == size;
        if (f) std::fclose(f);
        std::free(input);
        RunRequest req;
        req.file = in.c_str();
        req.File = out.c_str();
        req.sink = {collect, &notices};
        if (!traditional(options)) req.options = &options;
        req.threads = 1;
        const double started = emscripten_get_now();
        const RunResult run = written ? convertRSR(req) : RunResult{RunOutcome::input_not_opened, ENOMEM};
        r->convertSeconds = (emscripten_get_now() - started) / 1000;
        if (run.outcome == RunOutcome::input_not_opened)
            collect(&notices, (std::string("cannot open the input: ") + std::strerror(run.error)).c_str(), in.c_str(), notice_plain);
        if (run.outcome == RunOutcome::output_not_created)
            collect(&notices, (std::string("cannot create the output: ") + std::strerror(run.error)).c_str(), out.c_str(), notice_plain);
        bool kept = takeFile(out, r->obj, r->objSize);
        if (options.mtl && kept) kept = takeFile(mtlPathFor(out.c_str()), r->mtl, r->mtlSize);
        if (!kept && (run.outcome == RunOutcome::finished || run.outcome == RunOutcome::failed))
            collect(&notices, "cannot keep the output: not enough memory", out.c_str(), notice_plain);
        r->converted = run.outcome == RunOutcome::finished && kept;

        if (written) {
            // The report as `quarlen --info` shows it: the notices come
            // before the file's lines.
            const double inspected = emscripten_get_now();
            InfoReport report;
            const RunResult described = inspectRSR(in.c_str(), report, {collect, &info});
            char* text = nullptr;
            size_t length = 0;
            if (FILE* mem = open_memstream(&text, &length)) {
                const InfoSums sums = printFileInfo(mem, in, report, described.outcome);
                std::fclose(mem);
                info.append(text, length);
                r->groups = double(sums.groups);
                r->points = double(sums.points);
                r->textureVertices = double(sums.textureVertices);
                r->facets = double(sums.facets);
            }
            std::free(text);
            r->infoSeconds = (emscripten_get_now() - inspected) / 1000;
        }
        std::remove(in.c_str());
    }
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
