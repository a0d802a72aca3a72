// Benchmark baseline: the converter's core as it was before the parallel writer,
// copied unchanged into namespace baseline so both can be timed in one run.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cstdio>

#include "bench/baseline/conversion.h"
#include "bench/baseline/notice.h"
#include "bench/baseline/obj_writer.h"
#include "bench/baseline/rsr.h"

namespace baseline {

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
constexpr const char* bad_value_text = "bad value";
constexpr const char* no_memory_text = "I can't get enough memory";
constexpr const char* write_failed_format = "I can't write the .OBJ file: %s";

void release(Group& g) {
    std::free(g.x);
    std::free(g.y);
    std::free(g.z);
    std::free(g.pf);
    std::free(g.fac);
    std::free(g.u);
    std::free(g.v);
    std::free(g.pt);
    std::free(g.fac2);
    std::free(g.mats);
    g = Group{};
}

// Holds one group's arrays and gives them back on every way out.
struct HeldGroup {
    Group g;
    HeldGroup() = default;
    HeldGroup(const HeldGroup&) = delete;
    HeldGroup& operator=(const HeldGroup&) = delete;
    ~HeldGroup() { release(g); }
};

struct Run {
    explicit Run(const RunRequest& request) : req(request) {}
    const RunRequest& req;
    Input in;
    Output out;
    Totals t;
    char msg[512] = "";                 // the text the failure notice will show
    char gr[max_name_length + 1] = "";  // the current group's name
    bool outputFailed = false;          // the failure is the output's, not the input's
    bool cancelled = false;             // stopped on request; nothing is shown
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

// Asks for one array of count items of size bytes; null when it cannot be had
// (after the "farmalloc" notice) or when count is 0.
template <class T>
T* ask(Run& r, int32_t count, uint32_t size = sizeof(T)) {
    const uint32_t n = hopeless(count, size) ? 0 : uint32_t(count) * size;
    void* block = n ? std::malloc(n) : nullptr;
    if (!block && (n != 0 || hopeless(count, size))) tellNoMemory(r);
    return static_cast<T*>(block);
}

void allocationMessage(Run& r, const char* name, int32_t count) {
    std::snprintf(r.msg, sizeof r.msg, "I ran out of store reading %s: %s=%d=0x%08x", r.gr, name,
                  count, static_cast<unsigned>(count));
}

bool endOfFile(Run& r) {
    if (!r.in.eof) return false;
    std::strcpy(r.msg, end_of_file_text);
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

bool readFloats(Run& r, float* a, float* b, float* c, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        a[i] = Getf(r.in);
        b[i] = Getf(r.in);
        if (c) c[i] = Getf(r.in);
        if (endOfFile(r)) return false;
    }
    return true;
}

bool readInts(Run& r, int32_t* a, int32_t n) {
    for (int32_t i = 0; i < n; ++i) a[i] = Getl(r.in);
    return !endOfFile(r);
}

// Reads the counts and arrays of one group whose name has been read.
bool readGroup(Run& r, Group& g) {
    if (!readCount(r, g.np, "np", 4, 12)) return false;
    g.x = ask<float>(r, g.np);
    g.y = ask<float>(r, g.np);
    g.z = ask<float>(r, g.np);
    if (g.np != 0 && (!g.x || !g.y || !g.z)) return false;
    if (!readFloats(r, g.x, g.y, g.z, g.np)) return false;

    if (!readCount(r, g.nq, "nq", 4, 4)) return false;
    if (!(g.pf = ask<int32_t>(r, g.nq)) && g.nq != 0) return false;
    if (!readInts(r, g.pf, g.nq)) return false;

    if (!readCount(r, g.nf, "nf", face_size, face_size)) return false;
    if (!(g.fac = ask<unsigned char>(r, g.nf, face_size)) && g.nf != 0) return false;
    readBytes(r.in, g.fac, size_t(g.nf) * face_size);  // checked after texq

    const int32_t texq = Getl(r.in);
    if (endOfFile(r)) return false;

    if (!readCount(r, g.nt, "nt", 4, 8, texq != 0)) return false;
    if (!(g.u = ask<float>(r, g.nt)) && g.nt != 0) return false;
    if (!(g.v = ask<float>(r, g.nt)) && g.nt != 0) return false;
    if (!readFloats(r, g.u, g.v, nullptr, g.nt)) return false;

    if (!readCount(r, g.nq2, "nq2", 4, 4, texq != 0)) return false;
    if (!(g.pt = ask<int32_t>(r, g.nq2)) && g.nq2 != 0) return false;
    if (!readInts(r, g.pt, g.nq2)) return false;

    if (!readCount(r, g.nf2, "nf2", face2_size, face2_size, texq != 0)) return false;
    if (!(g.fac2 = ask<unsigned char>(r, g.nf2, face2_size)) && g.nf2 != 0) return false;
    readBytes(r.in, g.fac2, size_t(g.nf2) * face2_size);
    if (endOfFile(r)) return false;

    if (!readCount(r, g.nm, "nm", material_size, material_size)) return false;
    if (!(g.mats = ask<char>(r, g.nm, material_size)) && g.nm != 0) return false;
    for (int32_t i = 0; i < g.nm; ++i) {
        char* slot = g.mats + size_t(i) * material_size;
        readBytes(r.in, slot, material_size);
        if (endOfFile(r)) return false;
        slot[material_size - 1] = '\0';
    }
    return true;
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
        HeldGroup held;
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
        if (!readGroup(r, held.g)) return false;
        pending = false;
        writeGroupLine(r.out, r.gr);
        if (!writeGroupBody(r.out, held.g, r.t)) {
            std::strcpy(r.msg, bad_value_text);
            return false;
        }
        if (writeFailed(r)) return false;
        r.t.dv = wrapAdd(r.t.dv, held.g.np);
        r.t.dt = wrapAdd(r.t.dt, held.g.nt);
        r.t.Nf = wrapAdd(r.t.Nf, held.g.nf);
    }
}

}  // namespace

void* Farmalloc(uint32_t n) {
    void* block = n ? std::malloc(n) : nullptr;
    if (!block && n != 0) notice(no_memory_text, "farmalloc", notice_warning);
    return block;
}

RunResult convertRSR(const RunRequest& req) {
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

    unsigned char header[header_size];
    readBytes(r.in, header, sizeof header);

    bool pending = false;
    bool finished = convertGroups(r, pending);
    if (finished) {
        unsigned char trailer[trailer_size];
        readBytes(r.in, trailer, sizeof trailer);
        drain(r.out);
        finished = !writeFailed(r);
    }
    if (!finished && r.cancelled) {
        closeInput(r.in);
        closeOutput(r.out);
        return {RunOutcome::cancelled, 0};
    }
    if (finished) {
        tell(r, finished_text, File, notice_plain);
        // The closing comments reach the file after the notice is dismissed.
        writeClosing(r.out, r.t);
    } else if (r.outputFailed) {
        tell(r, r.msg, File, notice_warning);
    } else {
        tell(r, r.msg, file, notice_warning);
        if (r.msg[0] == '#') {
            if (r.t.Nf == 0)
                tell(r, short_file_text, file, notice_warning);
            else
                tell(r, junk_text, file, notice_plain);
        }
        if (pending) writeGroupLine(r.out, r.gr);
    }

    closeInput(r.in);
    closeOutput(r.out);
    if (finished && writeFailed(r)) {
        // Only the closing comments were left to write when the disk refused.
        tellSink(req.sink, r.msg, File, notice_warning);
        finished = false;
    }
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

}  // namespace baseline
