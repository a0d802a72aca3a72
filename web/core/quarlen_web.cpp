// The web page's WebAssembly entry point: converts one file's bytes as the
// console program's batch form does (`quarlen -r FOLDER` writes FOLDER/A.obj
// for FOLDER/A.rsr), counting what it converts as `quarlen --info` counts
// it, in one run. The run reads the bytes where they lie and hands the
// outputs block by block to the worker's store as it writes them, and, when
// asked, a picture of the model drawn in the same run, as a PNG file beside
// them. The page reads a result only through the web_result_* getters.
#include <cassert>
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
#include "frontend/options_json.h"
#include "frontend/output_flags.h"
#include "convert/batch/batch_texts.h"
#include "convert/format/crc32.h"
#include "convert/run/run.h"
#include "convert/run/output_kinds.h"
#include "convert/options/info.h"
#include "convert/format/notice.h"
#include "convert/picture/image.h"
#include "convert/picture/picture.h"
#include "convert/picture/png_file.h"

using namespace quarlen;

namespace {

// The store for outputs is the worker's: each block the run writes goes to
// Module.storeWrite(slot, at, size) at once, and into the output's CRC-32,
// so that no output is ever held here. storeWrite returns false when the
// store refused the block (its quota reached), which the run tells as it
// tells a full disk.
EM_JS(int, store_write, (int slot, const char* at, size_t size), { return Module.storeWrite(slot, at >>> 0, size >>> 0) ? 1 : 0; });

struct Streamed {
    int slot = 0;      // 0: NAME.obj or NAME.glb, 1: NAME.mtl, 2: NAME.png, as the worker knows them
    bool made = false;  // the run opened it
    double size = 0;    // bytes written (a double: the page reads it as a number)
    uint32_t crc = 0;   // the CRC-32 of the bytes written
};

bool streamOut(void* ctx, const char* p, size_t n) {
    Streamed& s = *static_cast<Streamed*>(ctx);
    s.made = true;
    if (n == 0) return true;
    if (!store_write(s.slot, p, n)) {
        errno = ENOSPC;
        return false;
    }
    s.crc = crc32(s.crc, p, n);
    s.size += double(n);
    return true;
}

// One file's outcome. Outputs: [0] NAME.obj or NAME.glb, [1] NAME.mtl, [2]
// NAME.png, the picture; an output with an empty path was not made.
struct WebResult {
    bool converted = false;                 // the run finished
    std::string paths[3];                   // each output's path, empty when it was not made
    Streamed outputs[3] = {{0}, {1}, {2}};  // what went to each output's slot
    std::string notices;                    // the one-file run's notices, one console line each
    std::string info;                       // --info's lines for what the run read
    bool counted = false;                   // counts holds what the run read
    InfoSums counts;                        // what the run read in full, as --info counts it
    double seconds = 0;                     // time in the run, for the benchmark
};

void collect(void* ctx, const char* text, const char* caption, unsigned style) {
    *static_cast<std::string*>(ctx) += noticeLine(text, caption, style);
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
    OptionsRead read;  // --info asks for nothing more: the page describes every file it converts
    for (int i = 0; i < int(argv.size());) {
        const int taken = readOutputOption(int(argv.size()), argv.data(), i, read, error);
        if (taken <= 0) {
            if (taken == 0) error = "unknown option: " + words[size_t(i)];
            return false;
        }
        i += taken;
    }
    o = read.output;
    return true;
}

// NAME.rsr becomes NAME.obj, or NAME.glb, beside it, as in the batch form.
std::string outputPath(const std::string& in, const OutputOptions& o) { return withExtension(in, kindAsked(o).extension); }

// The report as `quarlen --info` shows it, for what the run read.
std::string infoText(const std::string& in, const InfoReport& report, RunOutcome outcome, InfoSums& sums) {
    std::string info;
    char* text = nullptr;
    size_t length = 0;
    if (FILE* mem = open_memstream(&text, &length)) {
        sums = printFileInfo(mem, in, report, outcome);
        std::fclose(mem);
        info.assign(text, length);
    }
    std::free(text);
    return info;
}

// The picture, as the console program's --png names it beside the input.
std::string picturePath(const std::string& in) {
    OutputOptions png;
    png.png = true;
    return outputPath(in, png);
}

// The picture goes to slot 2 as a PNG file: that of a converted file always
// (the placeholder when it had nothing to draw), that of a failed one only
// when it shows what was read before the failure.
void storePicture(WebResult& r, const std::string& in, const Image& picture) {
    if (!r.converted && picture.placeholder) return;
    const std::string png = pngFile(picture);
    if (!png.empty() && streamOut(&r.outputs[2], png.data(), png.size())) r.paths[2] = picturePath(in);
}

void convertInto(WebResult& r, const std::string& in, std::span<const unsigned char> bytes, const OutputOptions& options,
                 int pictureSize) {
    r.paths[0] = outputPath(in, options);
    InfoReport report;
    RunRequest req;
    req.input = in.c_str();
    req.inputBytes = bytes;
    req.output = r.paths[0].c_str();
    req.sink = {streamOut, &r.outputs[0]};
    req.mtlSink = {streamOut, &r.outputs[1]};
    req.notices = {collect, &r.notices};
    req.alsoReport = &report;
    req.options = &options;
    Image picture;
    req.alsoPicture = pictureSize > 0 ? &picture : nullptr;
    req.alsoPictureSize = pictureSize;
    const double started = emscripten_get_now();
    const RunResult run = convertRSR(req);
    r.converted = run.outcome == RunOutcome::finished;
    if (!picture.rgba.empty()) storePicture(r, in, picture);
    r.seconds = (emscripten_get_now() - started) / 1000;
    // A run that wrote nothing still made its output, empty.
    if (run.outcome != RunOutcome::finished && run.outcome != RunOutcome::failed) r.paths[0].clear();
    if (r.outputs[1].made) r.paths[1] = mtlPathFor(r.paths[0].c_str());
    r.info = infoText(in, report, run.outcome, r.counts);
    r.counted = !r.info.empty();
}

}  // namespace

extern "C" {

// Converts the size bytes at input (a block from malloc, which this call
// frees) known to the user as path, a relative name ending in .rsr, with
// the console program's output options in args, one word a line. When
// earlier names an input (not empty) whose output is the same as this
// one's, nothing is converted: the result fails as the batch fails a
// clash. Returns null only when memory runs out before anything ran.
EMSCRIPTEN_KEEPALIVE WebResult* web_convert(const char* path, unsigned char* input, uint32_t size, const char* args,
                                            const char* earlier, int picture) {
    assert(picture >= 0 && picture <= max_picture_size);
    WebResult* r = new (std::nothrow) WebResult;
    if (!r) {
        std::free(input);
        return nullptr;
    }
    OutputOptions options;
    std::string error;
    const std::string in = path;
    if (!parseOptions(args, options, error))
        r->notices = "quarlen: " + error + "\n";
    else if (*earlier)
        r->notices = noticeLine(sameOutputText(outputPath(in, options), earlier).c_str(), path, notice_plain);
    else
        convertInto(*r, in, std::span<const unsigned char>(input, size), options, picture);
    std::free(input);
    return r;
}

// The output path of the input path (ending in .rsr) with the options in
// args (as web_convert takes them); empty when args are not options. The
// text lasts until the next call.
EMSCRIPTEN_KEEPALIVE const char* web_output_path(const char* path, const char* args) {
    static std::string out;
    OutputOptions options;
    std::string error;
    out = parseOptions(args, options, error) ? outputPath(path, options) : "";
    return out.c_str();
}

// The output options as JSON, for the page to make its controls from:
// {"options":[{"name", "field" (OutputOptions' member), "takesValue",
// "withGlb" (false: not with --glb), "default" (the value's text, or null
// for a flag), "glbDefault" (with --glb, when it differs), "help"}, ...]}.
EMSCRIPTEN_KEEPALIVE const char* web_options() {
    static const std::string json = optionTableJson();
    return json.c_str();
}

EMSCRIPTEN_KEEPALIVE int web_result_converted(const WebResult* r) { return r->converted; }
EMSCRIPTEN_KEEPALIVE const char* web_result_notices(const WebResult* r) { return r->notices.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* web_result_info(const WebResult* r) { return r->info.c_str(); }
EMSCRIPTEN_KEEPALIVE double web_result_seconds(const WebResult* r) { return r->seconds; }

// Output i (0: NAME.obj or NAME.glb, 1: NAME.mtl, 2: NAME.png): its path,
// empty when it was not made, the bytes written to its slot and their CRC-32.
EMSCRIPTEN_KEEPALIVE const char* web_result_path(const WebResult* r, int i) { return r->paths[i].c_str(); }
EMSCRIPTEN_KEEPALIVE double web_result_size(const WebResult* r, int i) { return r->outputs[i].size; }
EMSCRIPTEN_KEEPALIVE uint32_t web_result_crc(const WebResult* r, int i) { return r->outputs[i].crc; }

// The CRC-32 of the size bytes at p continued from crc, for the page's
// check of the entries it reads from archives.
EMSCRIPTEN_KEEPALIVE uint32_t web_crc32(uint32_t crc, const unsigned char* p, uint32_t size) { return crc32(crc, p, size); }

// What the run read: i = 0 groups, 1 points, 2 texture vertices, 3 facets;
// -1 when nothing was counted.
EMSCRIPTEN_KEEPALIVE double web_result_count(const WebResult* r, int i) {
    if (!r->counted) return -1;
    const int64_t counts[] = {r->counts.groups, r->counts.points, r->counts.textureVertices, r->counts.facets};
    return double(counts[i]);
}

EMSCRIPTEN_KEEPALIVE void web_free(WebResult* r) { delete r; }

}  // extern "C"
