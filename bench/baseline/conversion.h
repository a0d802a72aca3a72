// Benchmark baseline: the converter's core as it was before the parallel writer,
// copied unchanged into namespace baseline so both can be timed in one run.
// Converting one Poser .RSR geometry file into one Wavefront .OBJ text file.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "bench/baseline/notice.h"

namespace baseline {

struct OutputOptions;

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
    const char* file = nullptr;  // the .RSR input
    const char* File = nullptr;  // the .OBJ output as the user knows it; captions name it
    const char* writeTo = nullptr;  // where the bytes go instead of File, such as a temporary name
    FILE* stream = nullptr;         // or an open stream (standard output), left open
    NoticeSink sink;                // where the notices go
    const OutputOptions* options = nullptr;     // null: the traditional output
    const std::atomic<bool>* cancel = nullptr;  // when set, stop before the next group
};

RunResult convertRSR(const RunRequest& request);

// Converts file (the .RSR input) into File (the .OBJ output), telling the user
// every success and failure through notice(). Reads both paths afresh for each
// notice's caption.
RunResult convertRSR(const char* file, const char* File);

// The same run, reporting 1 when it ran (finished or failed) and 0 when the
// input could not be opened or the output could not be created.
int readRSR(const char* file, const char* File);

// Allocates n bytes from the heap; shows the "farmalloc" notice when a
// request for more than 0 bytes cannot be met. Release with std::free.
void* Farmalloc(uint32_t n);

// True when the last four characters of name equal ext (four characters, such
// as ".rsr"), letters a to z compared without regard to case. Shorter names
// never match.
bool hasExtension(const char* name, const char* ext);

// Texts of the notices the front ends show themselves.
inline constexpr const char* bad_filename_text = "bad filename";

}  // namespace baseline
