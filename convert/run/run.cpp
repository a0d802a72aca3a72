// The conversion run: opens the input and the output, reads the groups one
// by one and hands each to the run's writer, and tells the outcome.
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "convert/run/run.h"
#include "convert/picture/picture.h"
#include "convert/picture/picture_writer.h"
#include "convert/run/output_kinds.h"
#include "convert/options/info.h"
#include "convert/format/rsr.h"
#include "convert/format/texts.h"

namespace quarlen {

namespace {

// Why a run failed; the text is made only when it is shown.
struct Failure {
    enum Kind {
        none,         // no failure
        bad_length,   // a group name's length out of range
        end_of_file,  // the input ended before its end marker
        ended_early,  // the end of a file that became shorter while it was read
        no_memory,    // memory ran out for a count
        bad_value,    // a value the format does not allow
        write_failed,      // the output refused a write
        side_file_failed,  // NAME.mtl refused a write
    } kind = none;          // what failed
    const char* count = "";  // for no_memory: the name of the count
    int32_t value = 0;       // for no_memory and bad_length: the value read
    int error = 0;           // for the write failures: errno
};

struct Run {
    explicit Run(const RunRequest& request)
        : req(request),
          options(withOutputName(request.options ? *request.options : OutputOptions{}, request.output)),
          kind(kindAsked(options)) {}
    const RunRequest& req;          // what was asked
    const OutputOptions options;    // the options asked for, with the one the output's name asks for
    const OutputKind& kind;         // the kind of file written, and what the run tells of it
    Input in;                       // the input being read
    Output out;                     // the output being written
    FileTarget file{nullptr};       // the output file, when the run makes one
    std::unique_ptr<GroupWriter> writer;  // the one writer of the output or the report
    std::unique_ptr<PictureDrawer> picture;  // the picture drawn beside it, or null
    InfoReport* report = req.report ? req.report : req.alsoReport;  // null: none
    InfoCount count;                // of the group being written, for the report
    char name[max_name_length + 1] = "";  // the current group's name
    int32_t facets = 0;  // facets in completed groups: none means the file may be a short one
    Failure failure;     // why the run stopped, when it failed
    std::atomic<bool> cut{false};  // the file was cut short under a mapped array
};

bool outputFailure(const Failure& f) { return f.kind == Failure::write_failed || f.kind == Failure::side_file_failed; }

std::string failureText(const Run& r) {
    const Failure& f = r.failure;
    char text[512];
    switch (f.kind) {
    case Failure::bad_length:
        std::snprintf(text, sizeof text, bad_length_format, f.value);
        return text;
    case Failure::no_memory:
        std::snprintf(text, sizeof text, memory_texts.countFormat, r.name, f.count, f.value,
                      static_cast<unsigned>(f.value));
        return text;
    case Failure::bad_value:
        return bad_value_text;
    case Failure::write_failed:
        return std::string(r.kind.texts->writeFailed) + std::strerror(f.error);
    case Failure::side_file_failed:
        return std::string(mtl_write_failed_text) + std::strerror(f.error);
    case Failure::ended_early:
        return ended_early_text;
    case Failure::end_of_file:
    case Failure::none:
        break;
    }
    return end_of_file_text;
}

// Whatever the output has buffered goes to disk before any notice is shown,
// so that the user can look at the file while the notice waits.
void tell(Run& r, const char* text, const char* caption, unsigned style) {
    drain(r.out);
    tellSink(r.req.notices, text, caption, style);
}

void tellNoMemory(Run& r, int times) {
    for (int i = 0; i < times; ++i) tell(r, memory_texts.text, memory_texts.caption, notice_warning);
}

bool fail(Run& r, Failure f) {
    r.failure = f;
    return false;
}

// A write to the output failed (a full disk, a lost network share): the run
// stops, and says so rather than report a file that is not there.
bool writeFailed(Run& r) {
    if (!r.out.error) return false;
    r.failure = {Failure::write_failed, "", 0, r.out.error};
    return true;
}

bool endOfFile(Run& r) { return fail(r, {endedEarly(r.in) ? Failure::ended_early : Failure::end_of_file}); }

GroupWritten writeGroup(Run& r, const Group& g) {
    // The picture beside the output draws each group read in full, before
    // the writer, whatever becomes of the group's output.
    if (r.picture) r.picture->group(g);
    try {
        return r.writer->group(r.name, g);
    } catch (const std::bad_alloc&) {
        return GroupWritten::no_memory;
    }
}

// The picture beside the output, once the input has been read.
void finishPicture(Run& r) {
    if (!r.picture) return;
    try {
        *r.req.alsoPicture = r.picture->finish();
    } catch (const std::bad_alloc&) {
        *r.req.alsoPicture = Image{};
    }
    r.picture.reset();
}

bool cancelled(const Run& r) { return r.req.cancel && r.req.cancel->load(std::memory_order_relaxed); }

// Reads and writes groups until the end marker. False with the failure set
// (none when cancelled); `pending` then tells whether the failing group's
// "g" line is still to be written.
bool convertGroups(Run& r, bool& pending) {
    for (;;) {
        if (cancelled(r)) return false;
        startGroup(r.in);
        int32_t length;
        switch (readGroupStart(r.in, length, r.name)) {
        case GroupStart::end_marker: return true;
        case GroupStart::end_of_file: return endOfFile(r);
        case GroupStart::bad_length: return fail(r, {Failure::bad_length, "", length});
        case GroupStart::group: break;
        }
        // The group line waits until the group has been read in full: a group
        // that fails while being read shows its notices before its "g" line
        // reaches the file.
        pending = true;
        Group g;
        const ReadFailure read = readGroupBody(r.in, g);
        if (read.kind == ReadFailure::end_of_file) return endOfFile(r);
        if (read.kind == ReadFailure::no_memory) {
            tellNoMemory(r, read.asks);
            return fail(r, {Failure::no_memory, read.count, read.value});
        }
        pending = false;
        // What is written so far reaches the output before the writer reads
        // mapped arrays, whose file another program may cut short: the
        // output then ends with the groups before this one.
        if (r.in.mapped) drain(r.out);
        const GroupWritten written = writeGroup(r, g);
        if (written == GroupWritten::done && r.report) addGroupCount(*r.report, r.count);
        if (endedEarly(r.in)) return fail(r, {Failure::ended_early});
        switch (written) {
        case GroupWritten::done: break;
        case GroupWritten::bad_value: return fail(r, {Failure::bad_value});
        // Memory that grows with the points (the weld table, the report) is
        // told as the points' allocation failing.
        case GroupWritten::no_memory:
            tellNoMemory(r, 1);
            return fail(r, {Failure::no_memory, "np", g.np});
        }
        if (writeFailed(r)) return false;
        r.facets = wrapAdd(r.facets, g.nf);
    }
}

// The failure notices of a run that stopped while reading or writing a
// group: the output's failures name the output, the others the input.
void showFailure(Run& r) {
    const std::string text = failureText(r);
    if (outputFailure(r.failure)) {
        tell(r, text.c_str(), r.req.output, notice_warning);
        return;
    }
    const char* const input = r.req.input;
    tell(r, text.c_str(), input, notice_warning);
    if (r.failure.kind == Failure::bad_length) {
        if (r.facets == 0)
            tell(r, short_file_text, input, notice_warning);
        else
            tell(r, r.kind.texts->junk, input, notice_plain);
    }
}

bool openRunInput(Run& r) {
    if (r.req.inputBytes) {
        openInputBytes(r.in, r.req.inputBytes->data(), r.req.inputBytes->size());
        return true;
    }
    // A report reads its arrays: what a mapped file cut short gives would
    // be described before the run could tell.
    return openInput(r.in, r.req.input, r.req.report ? nullptr : &r.cut);
}

bool openRunOutput(Run& r) {
    const RunRequest& req = r.req;
    if (req.report) return true;  // a report writes nothing
    r.file.path = req.writeTo ? req.writeTo : req.output;
    return openOutput(r.out, req.sink.write ? req.sink : req.stream ? streamSink(req.stream) : fileSink(r.file));
}

// The one writer of the output or the report; a writer that writes counts
// for the report as it goes.
std::unique_ptr<GroupWriter> makeWriter(Run& r) {
    if (r.req.report) return reportWriter(r.count);
    return r.kind.writer(r.out, r.req, r.options, r.report ? &r.count : nullptr);
}

}  // namespace

RunResult convertRSR(const RunRequest& req) {
    assert(!req.alsoPicture || (req.alsoPictureSize >= 1 && req.alsoPictureSize <= max_picture_size));
    Run r(req);
    if (!openRunInput(r)) return {RunOutcome::input_not_opened, errno};
    if (!openRunOutput(r)) {
        const int error = errno;
        closeInput(r.in);
        return {RunOutcome::output_not_created, error};
    }
    r.out.stop = &r.cut;
    r.writer = makeWriter(r);
    if (req.alsoPicture) r.picture = pictureDrawer(req.input, req.inputBytes, req.alsoPictureSize);
    readHeader(r.in);

    bool pending = false;
    bool finished = convertGroups(r, pending);
    const bool stopped = !finished && r.failure.kind == Failure::none;  // on request
    if (finished) readTrailer(r.in);
    // A refused write is told instead of whatever else ended the run: the
    // output no longer holds what the run wrote.
    drain(r.out);
    if (writeFailed(r)) finished = false;
    finishPicture(r);
    if (stopped) {
        closeInput(r.in);
        closeOutput(r.out);
        return {RunOutcome::cancelled, 0};
    }
    if (!r.writer->finishSideFiles() && finished) {
        r.failure = {Failure::side_file_failed, "", 0, errno ? errno : EIO};
        finished = false;
    }
    // A writer that keeps its output until the input is read writes it now,
    // with the failing group, so that the file is complete when the outcome
    // is told.
    if (!outputFailure(r.failure) && !r.writer->finishOutput(pending ? r.name : nullptr)) {
        r.failure = {Failure::write_failed, "", 0, errno ? errno : EIO};
        finished = false;
    }
    drain(r.out);
    if (writeFailed(r)) finished = false;
    if (finished && !req.report) {
        tell(r, r.kind.texts->finished, req.output, notice_plain);
        // The closing comments reach the file after the notice is dismissed.
        r.writer->closing();
    } else if (!finished) {
        showFailure(r);
        if (pending && !outputFailure(r.failure)) r.writer->failedGroupLine(r.name);
    }

    closeInput(r.in);
    closeOutput(r.out);
    if (finished && writeFailed(r)) {
        // Only the closing comments were left to write when the disk refused.
        tellSink(req.notices, failureText(r).c_str(), req.output, notice_warning);
        finished = false;
    }
    // What clean changed comes last, once the output is complete on disk.
    const std::string last = r.writer->lastNotice();
    if (!last.empty()) tellSink(req.notices, last.c_str(), req.input, notice_plain);
    return {finished ? RunOutcome::finished : RunOutcome::failed, 0, r.failure.kind == Failure::write_failed || r.out.error != 0};
}

RunResult convertRSR(const char* input, const char* output, NoticeSink notices) {
    RunRequest req;
    req.input = input;
    req.output = output;
    req.notices = notices;
    return convertRSR(req);
}

}  // namespace quarlen
