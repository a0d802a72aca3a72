// Converting one Poser .RSR geometry file: a run reads its groups and hands
// each to one writer (traditional OBJ, OBJ with output options, GLB, or the
// --info report), then tells the outcome through the caller's notice sink.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>

#include "convert/format/notice.h"
#include "convert/format/output.h"
#include "convert/format/file_names.h"
#include "convert/format/texts.h"

namespace quarlen {

struct OutputOptions;
struct InfoReport;

enum class RunOutcome {
    finished,            // the "Finished" notice was shown
    failed,              // a failure notice was shown; the output holds what was written
    input_not_opened,    // nothing shown, nothing written
    output_not_created,  // nothing shown, nothing written
    cancelled,           // stopped on request between groups; nothing shown
};

struct RunResult {
    RunOutcome outcome;
    int error;  // errno of the failed open for the two "not opened" outcomes, else 0
};

// One conversion and everything it may use. The run keeps all of its state in
// itself, so runs on several threads at once share nothing.
struct RunRequest {
    // The input: the .RSR file at this path, which captions name, or the
    // bytes given here (the path then only names them).
    const char* input = nullptr;
    std::optional<std::span<const unsigned char>> inputBytes;

    // The output as the user knows it, which captions name: the .OBJ file
    // at this path, unless the bytes go to writeTo (such as a temporary
    // name), to an open stream (standard output; left open) or to a sink.
    const char* output = nullptr;
    const char* writeTo = nullptr;
    FILE* stream = nullptr;
    ByteSink sink;
    ByteSink mtlSink;  // with --mtl, NAME.mtl goes here rather than beside the output

    NoticeSink notices;                         // where the notices go
    const OutputOptions* options = nullptr;     // null: the traditional output
    InfoReport* report = nullptr;               // describe the input into this; write nothing
    InfoReport* alsoReport = nullptr;           // while writing, describe each group written into this
    const std::atomic<bool>* cancel = nullptr;  // when set, stop before the next group

    // Large groups are formatted on this many threads, the caller's included
    // (0: one per core, at most two), in chunks of this many lines, a facet
    // line counting one per corner (0: the default). Small groups stay on
    // the caller's thread.
    unsigned threads = 0;
    uint32_t chunk = 0;
};

RunResult convertRSR(const RunRequest& request);

// Converts the .RSR file at input into the .OBJ file at output, the
// traditional output, telling every success and failure to notices.
RunResult convertRSR(const char* input, const char* output, NoticeSink notices);

}  // namespace quarlen
