// Running a batch: each file converts under a temporary name beside its
// output and is renamed into place when its run ends, so that an output
// under its final name is never half-written.
#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "convert/format/threads.h"
#ifndef QUARLEN_NO_THREADS
#include <mutex>
#include <thread>
#endif

#include "convert/batch/batch_run.h"
#include "convert/batch/batch_texts.h"
#include "convert/run/run.h"
#include "convert/batch/paths.h"
#include "convert/format/texts.h"
#include "convert/options/output_options.h"
#include "convert/picture/image.h"
#include "convert/picture/png_file.h"

namespace quarlen {

namespace fs = std::filesystem;

namespace {

// Inputs smaller than this convert on one thread in a batch.
constexpr uint64_t pool_min_input = uint64_t(1) << 20;

void collect(void* ctx, const char* text, const char* caption, unsigned style) {
    static_cast<FileReport*>(ctx)->notices.push_back({text, caption, style});
}

FileReport fail(std::string text, const std::string& caption) {
    return {FileOutcome::failed, {{std::move(text), caption, notice_plain}}, 0};
}

// A name no other run picks: the output's own name, this run's start time
// and the file's place in the batch.
std::string temporaryName(const std::string& out, size_t serial) {
    static const auto started = std::chrono::steady_clock::now().time_since_epoch().count();
    return out + ".part-" + std::to_string(started % 1000000007) + "-" + std::to_string(serial);
}

bool moveIntoPlace(const std::string& from, const std::string& to, std::error_code& ec) {
    fs::rename(toPath(from), toPath(to), ec);
    // Some systems will not rename over a file; a folder is no output to replace.
    if (std::error_code kind; ec && fs::exists(toPath(to)) && !fs::is_directory(fs::symlink_status(toPath(to), kind))) {
        std::error_code ignored;
        fs::remove(toPath(to), ignored);
        ec.clear();
        fs::rename(toPath(from), toPath(to), ec);
    }
    return !ec;
}

// Moves the finished file at temp to its final name out; false, told in
// report, when it cannot.
bool placed(const std::string& temp, const std::string& out, FileReport& report) {
    std::error_code ec, ignored;
    if (moveIntoPlace(temp, out, ec)) return true;
    fs::remove(toPath(temp), ignored);
    report.notices.push_back({rename_failed_text + ec.message(), out, notice_plain});
    return false;
}

// The picture drawn beside an output, as a PNG file at temp; false, told
// as a run that writes the picture tells it, when it cannot be written.
bool writePicture(const Image& im, const std::string& temp, const std::string& picture, FileReport& report) {
    const std::string png = im.width > 0 ? pngFile(im) : std::string();
    int error = ENOMEM;
    if (!png.empty()) {
        if (writeWholeFile(temp.c_str(), png)) return true;
        error = errno;
        std::error_code ec;
        fs::remove(toPath(temp), ec);
    }
    report.notices.push_back({std::string(png_texts.writeFailed) + std::strerror(error), picture, notice_warning});
    return false;
}

// Converts one item; false when it was stopped by the cancel flag.
// `folder` is the output folder this thread last found or made: files come
// in path order, many to a folder, so most files need no call to the file
// system for it. An item with a picture beside its output makes both from
// one run, each under a temporary name, and whichever does not exist yet
// (unless forced) alone: an output that exists, the picture alone from
// the picture writer's run.
bool convertItem(const BatchItem& item, size_t serial, const BatchRun& run, FileReport& report, fs::path& folder) {
    if (!item.problem.empty()) {
        report = fail(item.problem, item.in);
        return true;
    }
    report = {skipped(item) ? FileOutcome::skipped : FileOutcome::failed, {}, 0};
    if (skipped(item)) return true;
    std::error_code ec;
    report.bytesRead = fs::file_size(toPath(item.in), ec);
    if (ec) report.bytesRead = 0;

    const fs::path outPath = toPath(item.out);
    if (outPath.parent_path() != folder) {
        folder = outPath.parent_path();
        if (!folder.empty() && !fs::is_directory(folder, ec) && !fs::create_directories(folder, ec) && ec) {
            report = fail("cannot create the folder: " + ec.message(), item.out);
            folder.clear();
            return true;
        }
    }
    const bool picture = !item.picture.empty() && !item.skipPicture;  // the picture is made
    assert(!picture || run.options);
    const std::string& out = item.skip ? item.picture : item.out;  // what the run writes
    const std::string temp = temporaryName(out, serial);
    const std::string pictureTemp = picture && !item.skip ? temporaryName(item.picture, serial) : "";  // beside it
    OutputOptions pictureAlone;
    if (item.skip) pictureAlone = {.png = true, .pictureSize = run.options->pictureSize};
    Image image;
    RunRequest req;
    req.input = item.in.c_str();
    req.output = out.c_str();
    req.writeTo = temp.c_str();
    req.notices = {collect, &report};
    req.options = item.skip ? &pictureAlone : run.options;
    if (!pictureTemp.empty()) {
        req.alsoPicture = &image;
        req.alsoPictureSize = run.options->pictureSize;
    }
    req.cancel = run.cancel;
    // Files converting side by side already keep the cores busy: a run of
    // its own on more threads would only compete with them. A small file
    // stays on one thread too: the writer's threads start and stop with
    // each run, which for files of 2 KB to 200 KB cost more than they saved
    // (-j1 over quarlen_library_bench's library: 13% faster, 12% less CPU
    // on one thread).
    if (run.jobs > 1 || report.bytesRead < pool_min_input) req.threads = 1;
    const RunResult r = convertRSR(req);
    switch (r.outcome) {
    case RunOutcome::cancelled:
        fs::remove(toPath(temp), ec);
        return false;
    case RunOutcome::input_not_opened:
        report.notices.push_back({std::string(input_not_opened_text) + std::strerror(r.error), item.in, notice_plain});
        return true;
    case RunOutcome::output_not_created:
        report.notices.push_back({std::string(output_not_created_text) + std::strerror(r.error), out, notice_plain});
        return true;
    case RunOutcome::finished:
    case RunOutcome::failed:
        break;
    }
    // A failed run keeps what it wrote, as the one-file form does, and its
    // picture what was drawn; each output made goes into place on its own.
    // But an output the system took only in part is removed: in place, the
    // same command run again would skip it.
    const bool drawn = !pictureTemp.empty() && writePicture(image, pictureTemp, item.picture, report);
    bool ok = r.outcome == RunOutcome::finished && (pictureTemp.empty() || drawn);
    if (r.writeRefused)
        fs::remove(toPath(temp), ec);
    else
        ok = placed(temp, out, report) && ok;
    if (drawn) ok = placed(pictureTemp, item.picture, report) && ok;
    if (ok) report.outcome = FileOutcome::converted;
    return true;
}

// Files end one at a time, under this lock when they end on several
// threads.
#ifdef QUARLEN_NO_THREADS
struct EndLock {
    void lock() {}
    void unlock() {}
};
#else
using EndLock = std::mutex;
#endif

struct Held {
    explicit Held(EndLock& l) : lock(l) { lock.lock(); }
    ~Held() { lock.unlock(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    EndLock& lock;  // the lock held
};

bool cancelled(const BatchRun& run) { return run.cancel && run.cancel->load(); }

}  // namespace

int processorCount() {
#ifdef QUARLEN_NO_THREADS
    return 1;
#else
    const unsigned n = std::thread::hardware_concurrency();
    return n ? int(n) : 1;
#endif
}

BatchTotals runBatch(const std::vector<BatchItem>& items, const BatchRun& run) {
    BatchTotals totals;
    EndLock lock;
    std::atomic<size_t> next{0};

    auto work = [&] {
        fs::path folder;
        for (size_t i; !cancelled(run) && (i = next++) < items.size();) {
            FileReport report;
            try {
                if (!convertItem(items[i], i, run, report, folder)) continue;
            } catch (const std::exception& e) {  // a name the system cannot take, no memory
                report = fail(std::string("cannot convert: ") + e.what(), items[i].in);
            }
            const Held hold(lock);
            switch (report.outcome) {
            case FileOutcome::converted: ++totals.converted; break;
            case FileOutcome::failed: ++totals.failed; break;
            case FileOutcome::skipped: ++totals.skipped; break;
            }
            if (report.outcome != FileOutcome::skipped) totals.bytesRead += report.bytesRead;
            if (run.done) run.done(run.ctx, items[i], report);
        }
    };

#ifdef QUARLEN_NO_THREADS
    work();
#else
    const size_t threads = std::min<size_t>(size_t(run.jobs > 0 ? run.jobs : 1), items.size());
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
    for (std::thread& h : helpers) h.join();
#endif
    totals.interrupted = cancelled(run);
    return totals;
}

}  // namespace quarlen
