// Running a planned batch: each file converts on one of several threads,
// under a temporary name beside its output that is renamed into place when
// its run ends; a picture beside the output (BatchItem::picture) is drawn
// by the same run and goes into place the same way. The file fails when
// either does.
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
    std::string text;     // the notice's text
    std::string caption;  // what it names: the input's or the output's path
    unsigned style;       // notice_plain or notice_warning
};

enum class FileOutcome { converted, failed, skipped };

struct FileReport {
    FileOutcome outcome;              // what came of it
    std::vector<NoticeLine> notices;  // in the order shown
    uint64_t bytesRead;               // the input's size
};

struct BatchTotals {
    int converted = 0;         // files whose run finished
    int failed = 0;            // files that failed, or could not start
    int skipped = 0;           // files whose output exists
    uint64_t bytesRead = 0;    // the sizes of the inputs read
    bool interrupted = false;  // stopped on request before every file ended
};

struct BatchRun {
    int jobs = 1;                            // files converted at once
    const OutputOptions* options = nullptr;  // every file's, as RunRequest::options; set for pictures beside
    // Set by the front end to stop: no file starts afterwards, the files in
    // flight stop before their next group and leave no temporary file.
    const std::atomic<bool>* cancel = nullptr;
    // Called once per file that ran or was skipped, one call at a time, in
    // the order the files end.
    void (*done)(void* ctx, const BatchItem& item, const FileReport& report) = nullptr;
    void* ctx = nullptr;  // handed to done
};

BatchTotals runBatch(const std::vector<BatchItem>& items, const BatchRun& run);

// The number of processors, at least 1.
int processorCount();

}  // namespace quarlen
