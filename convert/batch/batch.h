// Converting many files: which inputs a list of files and folders gives,
// where each one's output goes, and running the conversions on several
// threads. Every front end that converts more than one file uses it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quarlen {

struct OutputOptions;

struct BatchSettings {
    bool recursive = false;  // folders give the files of all their sub-folders too
    bool force = false;      // replace outputs that exist
    std::string outputDir;   // empty: each output beside its input
    const char* extension = ".obj";  // NAME.rsr's output is NAME plus this (".obj" or ".glb")
};

// One input and where its output goes. Paths are UTF-8 on Windows and the
// system's own bytes elsewhere.
struct BatchItem {
    std::string in;       // the .rsr file, or an operand that is none
    std::string out;      // the final output path; empty when there is none
    std::string problem;  // set: the item fails with this text, nothing is converted
    bool skip = false;    // the output exists and is not to be replaced
};

// The inputs that operands give, in a stable order: operands in the order
// given, each folder's files sorted by path. An operand that gives nothing
// convertible, and a second input mapping to an output already taken, become
// items with a problem.
std::vector<BatchItem> planBatch(const std::vector<std::string>& operands, const BatchSettings& s);

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
