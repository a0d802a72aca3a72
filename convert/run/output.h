// The output of a run: text gathered in large blocks and handed to a sink,
// which is a file, an open stream or whatever the caller gives.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>

namespace quarlen {

inline constexpr size_t output_block = size_t(1) << 20;

// Where the bytes go. write returns false, with errno set where it can,
// when they could not be written (a full disk, a lost share).
struct ByteSink {
    bool (*write)(void* ctx, const char* p, size_t n) = nullptr;
    void* ctx = nullptr;
};

// Nothing reaches the sink until drain() or a large putBytes(): the run
// drains before every notice, so that the file on disk then holds exactly
// what was written up to that moment.
struct Output {
    ByteSink sink;
    FILE* f = nullptr;  // the file or stream behind the sink, if any
    char* buf = nullptr;
    size_t len = 0;
    size_t block = output_block;  // bytes buf holds; no less than the longest line
    int error = 0;  // errno of the first failed write
    bool borrowed = false;  // f belongs to the caller and stays open
    // Once set, nothing more reaches the sink: what was made after it was
    // set came from input that was not the file's (a mapped file cut short).
    const std::atomic<bool>* stop = nullptr;
};

bool openOutput(Output& out, const char* path);  // false with errno set
bool attachOutput(Output& out, FILE* f);          // writes to f, which stays open
bool attachSink(Output& out, ByteSink sink);      // false with errno set
void drain(Output& out);
void closeOutput(Output& out);  // drains first; a failure is kept in out.error

// A sink that writes to an open stdio stream (ctx is the FILE*).
bool writeToFile(void* file, const char* p, size_t n);

// Room for n more bytes at the end of the buffer.
inline char* room(Output& out, size_t n) {
    if (out.block - out.len < n) drain(out);
    return out.buf + out.len;
}

// Ends a piece of text made in room(): p is where it ends.
inline void done(Output& out, char* p) { out.len = static_cast<size_t>(p - out.buf); }

// Writes text as the whole file at path. False with errno set when it
// cannot be written.
bool writeWholeFile(const char* path, const std::string& text);

// Appends n bytes of text made elsewhere; a large piece goes to the sink
// directly, after what is buffered.
void putBytes(Output& out, const char* p, size_t n);

}  // namespace quarlen
