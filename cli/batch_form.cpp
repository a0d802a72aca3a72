#include "cli/batch_form.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "frontend/notice_console.h"
#include "convert/format/notice.h"
#include "convert/options/option_table.h"

using namespace quarlen;

namespace {

// Ctrl-C and SIGTERM stop the batch: files not started stay so, and the
// files in flight leave no temporary file.
std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void requestStop(int) { stop_requested.store(true); }

using Clock = std::chrono::steady_clock;

struct Console {
    size_t total = 0;                    // files in the batch
    size_t ended = 0;                    // files that ended so far
    int failed = 0;                      // of them, those that failed
    uint64_t bytes = 0;                  // the inputs read so far
    bool quiet = false;                  // -q: no progress and no summary
    bool verbose = false;                // -v: a line for every file
    bool progress = false;               // a progress line on standard error, a terminal
    Clock::time_point start = Clock::now();  // when the batch started
    Clock::time_point shown{};           // when the progress line was last drawn
    size_t progressWidth = 0;            // characters of the progress line on screen
};

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

void clearProgress(Console& c) {
    if (c.progressWidth == 0) return;
    std::fprintf(stderr, "\r%*s\r", int(c.progressWidth), "");
    c.progressWidth = 0;
}

void showProgress(Console& c) {
    char line[160];
    const int n = std::snprintf(line, sizeof line, "quarlen: %zu of %zu files, %d failed, %.1f MB read, %.1f s",
                                c.ended, c.total, c.failed, double(c.bytes) / 1e6, secondsSince(c.start));
    const size_t width = n > 0 ? size_t(n) : 0;
    std::fprintf(stderr, "\r%s%*s", line, int(c.progressWidth > width ? c.progressWidth - width : 0), "");
    std::fflush(stderr);
    c.progressWidth = width;
    c.shown = Clock::now();
}

// A notice of one file as the batch prints it: the input's path first, so
// that every line says which file it concerns (the out-of-memory notice's
// own caption says none), then the output's when the notice is about one.
std::string batchLine(const BatchItem& item, const NoticeLine& n) {
    std::string caption = item.in;
    for (const std::string& out : {item.out, item.picture})
        if (!out.empty() && n.caption == out) caption += ": " + out;
    return noticeLine(n.text.c_str(), caption.c_str(), n.style);
}

// The outputs of item that are made (made true) or skipped: "a.obj", or
// with a picture beside it "a.glb and a.png", or the one of them.
std::string outputNames(const BatchItem& item, bool made) {
    std::vector<std::string> names;
    if (item.skip != made) names.push_back(item.out);
    if (!item.picture.empty() && item.skipPicture != made) names.push_back(item.picture);
    return listed(names, " and ");
}

// What one file prints: a failure its notices; a conversion or a skip
// nothing, or one short line with -v. A thousand files that convert would
// otherwise bury the one that did not; the summary counts them all.
std::string fileLines(const Console& c, const BatchItem& item, const FileReport& report) {
    std::string lines;
    switch (report.outcome) {
    case FileOutcome::failed:
        for (const NoticeLine& n : report.notices) lines += batchLine(item, n);
        break;
    case FileOutcome::converted:
        if (!c.verbose) break;
        lines = item.in + " -> " + outputNames(item, true) + "\n";
        for (const NoticeLine& n : report.notices)
            if (n.caption == item.in) lines += batchLine(item, n);  // what --clean changed
        break;
    case FileOutcome::skipped:
        if (c.verbose)
            lines = item.in + ": skipped: " + outputNames(item, false) + (item.picture.empty() ? " exists" : " exist") +
                    " (-f replaces " + (item.picture.empty() ? "it" : "them") + ")\n";
        break;
    }
    return lines;
}

// Prints one file's lines together; runBatch makes one call at a time.
void fileDone(void* ctx, const BatchItem& item, const FileReport& report) {
    Console& c = *static_cast<Console*>(ctx);
    ++c.ended;
    c.bytes += report.outcome == FileOutcome::skipped ? 0 : report.bytesRead;
    if (report.outcome == FileOutcome::failed) ++c.failed;

    const std::string lines = fileLines(c, item, report);
    if (!lines.empty()) {
        clearProgress(c);
        std::fwrite(lines.data(), 1, lines.size(), stderr);
    }
    if (c.progress && (c.ended == c.total || secondsSince(c.shown) > 0.1)) showProgress(c);
    std::fflush(stderr);
}

}  // namespace

int runBatchForm(const BatchForm& form) {
    const std::vector<BatchItem> items = planBatch(form.operands, form.settings);

    Console c;
    c.total = items.size();
    c.quiet = form.quiet;
    c.verbose = form.verbose;
    c.progress = !form.quiet && isTerminal(stderr);

    BatchRun run;
    run.jobs = form.jobs > 0 ? form.jobs : processorCount();
    run.options = form.options;
    run.cancel = &stop_requested;
    run.done = fileDone;
    run.ctx = &c;

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    const BatchTotals t = runBatch(items, run);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    if (!form.quiet) {
        clearProgress(c);
        const double s = secondsSince(c.start);
        std::fprintf(stderr, "quarlen: %d converted, %d failed, %d skipped%s in %.2f s (%.1f MB/s)%s\n",
                     t.converted, t.failed, t.skipped, t.skipped ? " (their outputs exist; -f replaces them)" : "",
                     s, s > 0 ? double(t.bytesRead) / 1e6 / s : 0.0, t.interrupted ? ", interrupted" : "");
    }
    if (t.interrupted) return 130;
    return t.failed ? 1 : 0;
}
