#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cstdio>

#include "convert/conversion.h"
#include "convert/info.h"
#include "convert/notice.h"
#include "convert/obj_writer.h"
#include "convert/option_writer.h"
#include "convert/rsr.h"
#include "convert/writer_pool.h"

namespace {

constexpr const char* finished_text =
    "Finished. If Bryce refuses to read this .OBJ file, use a text editor to move to the "
    "start of the file the 3 comment lines starting with `#' that you will find at the end "
    "of the file.";
constexpr const char* short_file_text =
    "This may be a \"short RSR\" file that contains only a library thumbnail graphic image. "
    "I can't handle those.";
constexpr const char* junk_text =
    "I probably hit junk at the end of the .RSR file, and likely the output .OBJ file is "
    "complete";
constexpr const char* end_of_file_text = "end of file";
constexpr const char* ended_early_text = "end of file: the file became shorter while it was read";
constexpr const char* bad_value_text = "bad value";
constexpr const char* no_memory_text = "I can't get enough memory";
constexpr const char* write_failed_format = "I can't write the .OBJ file: %s";
constexpr const char* mtl_failed_format = "I can't write the .MTL file: %s";

struct Run {
    explicit Run(const RunRequest& request)
        : req(request), threads(formatThreads(request.threads)),
          chunk(request.chunk == 0 ? default_chunk : request.chunk < max_chunk ? request.chunk : max_chunk) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ~Run() { endPool(pool); }
    const RunRequest& req;
    Input in;
    Output out;
    Totals t;
    char msg[512] = "";                 // the text the failure notice will show
    char gr[max_name_length + 1] = "";  // the current group's name
    bool outputFailed = false;          // the failure is the output's, not the input's
    bool cancelled = false;             // stopped on request; nothing is shown
    OptionRun* opt = nullptr;           // the output options' writer, when options are in use
    InfoReport* info = nullptr;         // describing instead of writing
    unsigned threads;                   // formatting threads, this one included
    uint32_t chunk;                     // units per chunk of a large group
    WriterPool* pool = nullptr;         // started with the first large group
    bool noPool = false;                // it could not be started
};

// Whatever the output has buffered goes to disk before any notice is shown,
// so that the user can look at the file while the notice waits.
void tell(Run& r, const char* text, const char* caption, unsigned style) {
    drain(r.out);
    tellSink(r.req.sink, text, caption, style);
}

void tellNoMemory(Run& r) { tell(r, no_memory_text, "farmalloc", notice_warning); }

// A write to the output failed (a full disk, a lost network share): the run
// stops, and says so rather than report a file that is not there.
bool writeFailed(Run& r) {
    if (!r.out.error) return false;
    std::snprintf(r.msg, sizeof r.msg, write_failed_format, std::strerror(r.out.error));
    r.outputFailed = true;
    return true;
}

// A count for which no block is ever asked of the heap: negative, or more
// bytes than a 32-bit size can say.
bool hopeless(int32_t count, uint32_t size) {
    return count < 0 || uint64_t(count) * size > UINT32_MAX;
}

// A count whose data cannot be in what is left of the file. Its reads would
// meet the end of the file, so nothing is allocated for it.
bool pastEnd(const Input& in, int32_t count, uint32_t fileBytesPerItem) {
    const int64_t left = bytesLeft(in);
    return left >= 0 && int64_t(count) * fileBytesPerItem > left;
}

void allocationMessage(Run& r, const char* name, int32_t count) {
    std::snprintf(r.msg, sizeof r.msg, "I ran out of store reading %s: %s=%d=0x%08x", r.gr, name,
                  count, static_cast<unsigned>(count));
}

bool endOfFile(Run& r) {
    if (!r.in.eof) return false;
    std::strcpy(r.msg, endedEarly(r.in) ? ended_early_text : end_of_file_text);
    return true;
}

// Reads a count field, then checks that the count's data could be in the
// file. False with the message set when the run must fail.
bool readCount(Run& r, int32_t& count, const char* name, uint32_t size, uint32_t fileBytesPerItem,
               bool present = true) {
    count = present ? Getl(r.in) : 0;
    if (endOfFile(r)) return false;
    allocationMessage(r, name, count);
    if (!hopeless(count, size) && pastEnd(r.in, count, fileBytesPerItem)) {
        std::strcpy(r.msg, end_of_file_text);
        return false;
    }
    return true;
}

// Takes the stored bytes of an array of `count` items of fileBytes bytes,
// whose count has been read. The array stands for `asks` blocks of count
// items of `size` bytes, each asked of the heap in turn before a failure is
// told: a count that no block can hold shows the "farmalloc" notice that
// many times. False with the message set when the run must fail; an array
// cut short by the end of the file fails only when checkEof says so.
bool takeArray(Run& r, int32_t count, uint32_t size, uint32_t fileBytes, int asks, Piece& at,
               bool checkEof = true) {
    Take took = Take::no_memory;
    if (!hopeless(count, size)) took = takeBytes(r.in, uint64_t(count) * fileBytes, at);
    if (took == Take::no_memory) {
        for (int i = 0; i < asks; ++i) tellNoMemory(r);
        return false;
    }
    return took == Take::ok || !checkEof || !endOfFile(r);
}

// Reads the counts and arrays of one group whose name has been read.
bool readGroup(Run& r, Group& g) {
    Piece xyz, pf, fac, uv, pt, fac2, mats;
    if (!readCount(r, g.np, "np", 4, 12) || !takeArray(r, g.np, 4, 12, 3, xyz)) return false;
    if (!readCount(r, g.nq, "nq", 4, 4) || !takeArray(r, g.nq, 4, 4, 1, pf)) return false;
    // The facets are checked for the end of the file after texq.
    if (!readCount(r, g.nf, "nf", face_size, face_size) ||
        !takeArray(r, g.nf, face_size, face_size, 1, fac, false))
        return false;
    const int32_t texq = Getl(r.in);
    if (endOfFile(r)) return false;
    if (!readCount(r, g.nt, "nt", 4, 8, texq != 0) || !takeArray(r, g.nt, 4, 8, 1, uv)) return false;
    if (!readCount(r, g.nq2, "nq2", 4, 4, texq != 0) || !takeArray(r, g.nq2, 4, 4, 1, pt)) return false;
    if (!readCount(r, g.nf2, "nf2", face2_size, face2_size, texq != 0) ||
        !takeArray(r, g.nf2, face2_size, face2_size, 1, fac2))
        return false;
    if (!readCount(r, g.nm, "nm", material_size, material_size) ||
        !takeArray(r, g.nm, material_size, material_size, 1, mats))
        return false;
    // Held memory may have moved while the group was read.
    g.xyz = pieceAt(r.in, xyz);
    g.pf = pieceAt(r.in, pf);
    g.fac = pieceAt(r.in, fac);
    g.uv = pieceAt(r.in, uv);
    g.pt = pieceAt(r.in, pt);
    g.fac2 = pieceAt(r.in, fac2);
    g.mats = pieceAt(r.in, mats);
    return true;
}

// Memory for what grows with the points (the weld table, --info's
// report) ran out: told as the points' allocation failing.
bool noMemory(Run& r, int32_t np) {
    tellNoMemory(r);
    allocationMessage(r, "np", np);
    return false;
}

// Writes a group body, on several threads when it is large enough to pay.
bool writeBody(Run& r, const Group& g) {
    if (r.threads > 1 && !r.pool && !r.noPool && worthSplitting(g, r.chunk)) {
        r.pool = startPool(r.threads, r.chunk);
        r.noPool = !r.pool;
    }
    if (r.pool && worthSplitting(g, r.chunk)) return writeGroupBodySplit(*r.pool, r.out, g, r.t);
    return writeGroupBody(r.out, g, r.t);
}

// Reads and writes groups until the end marker. False with the message set
// on failure; `pending` then tells whether the failing group's "g" line is
// still to be written.
bool convertGroups(Run& r, bool& pending) {
    for (;;) {
        if (r.req.cancel && r.req.cancel->load(std::memory_order_relaxed)) {
            r.cancelled = true;
            return false;
        }
        startGroup(r.in);
        Group g;
        const int32_t length = Getl(r.in);
        if (endOfFile(r)) return false;
        if (length == 0) return true;
        std::snprintf(r.msg, sizeof r.msg, "# of chars in group name out of range: %d", length);
        if (length < 0 || length > max_name_length) return false;

        char name[max_name_length + 1] = {};
        readBytes(r.in, name, size_t(length));
        if (endOfFile(r)) return false;
        std::strcpy(r.gr, name);

        // The group line waits until the group has been read in full: a group
        // that fails while being read shows its notices before its "g" line
        // reaches the file.
        pending = true;
        if (!readGroup(r, g)) return false;
        pending = false;
        if (r.info) {
            if (!addInfoGroup(*r.info, r.gr, g)) return noMemory(r, g.np);
        } else if (r.opt) {
            const GroupWritten w = writeOptionGroup(*r.opt, r.out, r.gr, g);
            if (w == GroupWritten::no_memory) return noMemory(r, g.np);
            if (w == GroupWritten::bad_value) {
                std::strcpy(r.msg, bad_value_text);
                return false;
            }
        } else {
            writeGroupLine(r.out, r.gr);
            if (!writeBody(r, g)) {
                std::strcpy(r.msg, bad_value_text);
                return false;
            }
        }
        if (writeFailed(r)) return false;
        r.t.dv = wrapAdd(r.t.dv, g.np);
        r.t.dt = wrapAdd(r.t.dt, g.nt);
        r.t.Nf = wrapAdd(r.t.Nf, g.nf);
    }
}

// The failure notices of a run that stopped while reading or writing a
// group.
void showFailure(Run& r) {
    const char* const file = r.req.file;
    tell(r, r.msg, file, notice_warning);
    if (r.msg[0] == '#') {
        if (r.t.Nf == 0)
            tell(r, short_file_text, file, notice_warning);
        else
            tell(r, junk_text, file, notice_plain);
    }
}

// The material file, written before the outcome is shown. False when it
// cannot be.
bool writeMaterials(Run& r) {
    const OptionRun& o = *r.opt;
    if (o.mtlPath.empty() || writeMtl(o.mtlPath.c_str(), o.materials, o.o.lf)) return true;
    std::snprintf(r.msg, sizeof r.msg, mtl_failed_format, std::strerror(errno));
    return false;
}

RunResult convertWith(const RunRequest& req, OptionRun* opt) {
    const char* const file = req.file;
    const char* const File = req.File;
    Run r(req);
    if (!openInput(r.in, file)) return {RunOutcome::input_not_opened, errno};
    const bool opened = req.stream ? attachOutput(r.out, req.stream)
                                   : openOutput(r.out, req.writeTo ? req.writeTo : File);
    if (!opened) {
        const int error = errno;
        closeInput(r.in);
        return {RunOutcome::output_not_created, error};
    }
    if (opt) {
        r.opt = opt;
        startOptions(*opt, *req.options, File, req.stream != nullptr, r.out);
    }

    unsigned char header[header_size];
    readBytes(r.in, header, sizeof header);

    bool pending = false;
    bool finished = convertGroups(r, pending);
    if (finished) {
        unsigned char trailer[trailer_size];
        readBytes(r.in, trailer, sizeof trailer);
    }
    // A refused write is told instead of whatever else ended the run: the
    // output no longer holds what the run wrote.
    drain(r.out);
    if (writeFailed(r)) finished = false;
    if (!finished && r.cancelled) {
        closeInput(r.in);
        closeOutput(r.out);
        return {RunOutcome::cancelled, 0};
    }
    if (r.opt && !writeMaterials(r) && finished) {
        finished = false;
        r.outputFailed = true;
    }
    if (finished) {
        tell(r, finished_text, File, notice_plain);
        // The closing comments reach the file after the notice is dismissed.
        if (r.opt)
            writeOptionClosing(*r.opt, r.out);
        else
            writeClosing(r.out, r.t);
    } else if (r.outputFailed) {
        tell(r, r.msg, File, notice_warning);
    } else {
        showFailure(r);
        if (pending) {
            if (r.opt)
                writeOptionGroupLine(*r.opt, r.out, r.gr);
            else
                writeGroupLine(r.out, r.gr);
        }
    }

    closeInput(r.in);
    closeOutput(r.out);
    if (finished && writeFailed(r)) {
        // Only the closing comments were left to write when the disk refused.
        tellSink(req.sink, r.msg, File, notice_warning);
        finished = false;
    }
    // What clean changed comes last, once the output is complete on disk.
    if (r.opt) {
        const std::string cleaned = cleanNotice(*r.opt);
        if (!cleaned.empty()) tellSink(req.sink, cleaned.c_str(), file, notice_plain);
    }
    return {finished ? RunOutcome::finished : RunOutcome::failed, 0};
}

}  // namespace

void* Farmalloc(uint32_t n) {
    void* block = n ? std::malloc(n) : nullptr;
    if (!block && n != 0) notice(no_memory_text, "farmalloc", notice_warning);
    return block;
}

RunResult convertRSR(const RunRequest& req) {
    if (req.options && !traditional(*req.options)) {
        OptionRun opt;
        return convertWith(req, &opt);
    }
    return convertWith(req, nullptr);
}

RunResult inspectRSR(const char* file, InfoReport& report, const NoticeSink& sink) {
    RunRequest req;
    req.file = file;
    req.File = file;
    req.sink = sink;
    Run r(req);
    r.info = &report;
    if (!openInput(r.in, file)) return {RunOutcome::input_not_opened, errno};
    unsigned char header[header_size];
    readBytes(r.in, header, sizeof header);
    bool pending = false;
    const bool finished = convertGroups(r, pending);
    if (!finished) showFailure(r);
    closeInput(r.in);
    closeOutput(r.out);
    return {finished ? RunOutcome::finished : RunOutcome::failed, 0};
}

RunResult convertRSR(const char* file, const char* File) {
    RunRequest req;
    req.file = file;
    req.File = File;
    return convertRSR(req);
}

int readRSR(const char* file, const char* File) {
    const RunOutcome o = convertRSR(file, File).outcome;
    return o == RunOutcome::finished || o == RunOutcome::failed ? 1 : 0;
}

bool hasExtension(const char* name, const char* ext) {
    const size_t n = std::strlen(name);
    if (n < 4) return false;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    for (size_t i = 0; i < 4; ++i)
        if (upper(name[n - 4 + i]) != upper(ext[i])) return false;
    return true;
}
