// Running a planned batch: each file converts on one of several threads,
// under a temporary name beside its output that is renamed into place when
// its run ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/batch/batch_plan.h"

namespace quarlen {

struct OutputOptions;

// What came of one file. The notices are those the one-file form would show,
// in order.
struct NoticeLine {
    std::string text, caption;
    unsigned style;
};

enum class FileOutcome { converted, failed, skipped };

struct FileReport {
    FileOutcome outcome;
    std::vector<NoticeLine> notices;
    uint64_t bytesRead;  // the input's size
};

struct BatchTotals {
    int converted = 0, failed = 0, skipped = 0;
    uint64_t bytesRead = 0;
    bool interrupted = false;
};

struct BatchRun {
    int jobs = 1;  // files converted at once
    const OutputOptions* options = nullptr;
    // Set by the front end to stop: no file starts afterwards, the files in
    // flight stop before their next group and leave no temporary file.
    const std::atomic<bool>* cancel = nullptr;
    // Called once per file that ran or was skipped, one call at a time, in
    // the order the files end.
    void (*done)(void* ctx, const BatchItem& item, const FileReport& report) = nullptr;
    void* ctx = nullptr;
};

BatchTotals runBatch(const std::vector<BatchItem>& items, const BatchRun& run);

// The number of processors, at least 1.
int processorCount();

}  // namespace quarlen
