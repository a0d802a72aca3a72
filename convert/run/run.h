// Converting one Poser .RSR geometry file: a run reads its groups and hands
// each to one writer (the OBJ writer, whose defaults are the traditional
// output, the GLB writer, or the --info report), then tells the outcome
// through the caller's notice sink. What it writes is the kind the options
// and the output's name ask for (output_kinds.h).
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
struct Image;

enum class RunOutcome {
    finished,            // the "Finished" notice was shown
    failed,              // a failure notice was shown; the output holds what was written
    input_not_opened,    // nothing shown, nothing written
    output_not_created,  // nothing shown, nothing written
    cancelled,           // stopped on request between groups; nothing shown
};

struct RunResult {
    RunOutcome outcome;  // how the run ended
    int error;           // errno of the failed open for the two "not opened" outcomes, else 0
    bool writeRefused = false;  // the system refused some of the output (a full disk): it holds less than was written
};

// One conversion and everything it may use. The run keeps all of its state in
// itself, so runs on several threads at once share nothing.
struct RunRequest {
    // The input: the .RSR file at this path, which captions name, or the
    // bytes given here (the path then only names them).
    const char* input = nullptr;                               // the input's path
    std::optional<std::span<const unsigned char>> inputBytes;  // set: the input's bytes

    // The output as the user knows it, which captions name: the file at
    // this path, unless the bytes go to writeTo (such as a temporary name),
    // to an open stream (standard output; left open) or to a sink. Its name
    // chooses what is written as an option would (NAME.glb: a GLB).
    const char* output = nullptr;   // the output's path, or null for a report
    const char* writeTo = nullptr;  // set: the bytes go to this path instead
    FILE* stream = nullptr;         // set: the bytes go to this stream instead
    ByteSink sink;                  // set: the bytes go here instead
    ByteSink mtlSink;  // with --mtl, NAME.mtl goes here rather than beside the output

    NoticeSink notices;                         // where the notices go
    const OutputOptions* options = nullptr;     // null: every option at its default
    InfoReport* report = nullptr;               // describe the input into this; write nothing
    InfoReport* alsoReport = nullptr;           // while writing, describe each group written into this
    // While writing, also draw a picture of the model, alsoPictureSize
    // pixels on each side (1 to max_picture_size), into *alsoPicture once
    // the run ends, finished or failed: what was drawn, or the placeholder.
    // Left empty when the input or the output cannot be opened.
    Image* alsoPicture = nullptr;  // null: no picture
    int alsoPictureSize = 0;       // its width and height
    const std::atomic<bool>* cancel = nullptr;  // when set, stop before the next group

    // Large groups are formatted on this many threads, the caller's included
    // (0: one per core, at most two), in chunks of this many lines, a facet
    // line counting one per corner (0: the default). Small groups stay on
    // the caller's thread.
    unsigned threads = 0;  // threads for a large group
    uint32_t chunk = 0;    // lines a chunk of a large group
};

RunResult convertRSR(const RunRequest& request);

// Converts the .RSR file at input into the file at output, the traditional
// output (or a GLB for an output named NAME.glb), telling every success and
// failure to notices.
RunResult convertRSR(const char* input, const char* output, NoticeSink notices);

}  // namespace quarlen
