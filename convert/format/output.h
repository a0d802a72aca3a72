// The output of a run: text gathered in large blocks and handed to a sink,
// which is a file, an open stream or whatever the caller gives: the same
// three calls, in the spirit of a stdio FILE's.
#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdio>
#include <string>

namespace quarlen {

inline constexpr size_t output_block = size_t(1) << 20;

// Where the bytes go: opened when the run's output is, written in large
// blocks, closed at its end. Each returns false, with errno set where it
// can, when it fails (a file that cannot be made, a full disk, a lost
// share). write must be set; open and close may be left out.
struct ByteSink {
    bool (*write)(void* ctx, const char* p, size_t n) = nullptr;  // takes the next n bytes
    void* ctx = nullptr;                    // handed to each call
    bool (*open)(void* ctx) = nullptr;      // before the first write, or null
    bool (*close)(void* ctx) = nullptr;     // after the last, or null
};

// A file made at path when the sink opens; fileSink(target) writes it.
struct FileTarget {
    const char* path;   // the file to make
    FILE* f = nullptr;  // it, once made
};
ByteSink fileSink(FileTarget& target);

// An open stdio stream, flushed when the sink closes and left open.
ByteSink streamSink(FILE* stream);

// Nothing reaches the sink until drain() or a large putBytes(): the run
// drains before every notice, so that the file on disk then holds exactly
// what was written up to that moment.
struct Output {
    ByteSink sink;          // where the blocks go
    char* buf = nullptr;    // the block being filled
    size_t len = 0;         // bytes of it filled
    size_t block = output_block;  // bytes buf holds; no less than the most room a writer asks for
    int error = 0;  // errno of the first failed write
    // Once set, nothing more reaches the sink: what was made after it was
    // set came from input that was not the file's (a mapped file cut short).
    const std::atomic<bool>* stop = nullptr;
};

bool openOutput(Output& out, ByteSink sink);  // false with errno set
void drain(Output& out);
void closeOutput(Output& out);  // drains first; a failure is kept in out.error

// Room for n more bytes at the end of the buffer; n is at most a block.
inline char* room(Output& out, size_t n) {
    assert(out.buf && n <= out.block);
    if (out.block - out.len < n) drain(out);
    return out.buf + out.len;
}

// Ends a piece of text made in room(): p is where it ends.
inline void done(Output& out, char* p) {
    assert(p >= out.buf + out.len && p <= out.buf + out.block);
    out.len = static_cast<size_t>(p - out.buf);
}

// Writes text as the whole file at path. False with errno set when it
// cannot be written.
bool writeWholeFile(const char* path, const std::string& text);

// Appends n bytes of text made elsewhere; a large piece goes to the sink
// directly, after what is buffered.
void putBytes(Output& out, const char* p, size_t n);

}  // namespace quarlen
