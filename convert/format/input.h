// The input of a run: a file read in large blocks, with a sticky
// end-of-file indicator, or bytes the caller holds in memory.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace quarlen {

// Large arrays of regular files are mapped where the host can (POSIX).
#if (defined(__unix__) || defined(__APPLE__)) && !defined(__EMSCRIPTEN__)
#define QUARLEN_MAP_ARRAYS 1
#endif

// A read that asks for more bytes than the input has left sets eof, which
// stays set: the same contract as a stdio stream's end-of-file indicator,
// which the reader tests after each field.
//
// A group's arrays are taken whole (takeBytes): a large one of a regular
// file is mapped into memory where the host can, each in a mapping of its
// own that ends where the array ends; the others are read into held memory,
// kept from group to group rather than given back. Arrays of an input in
// memory are used where they lie.
//
// A mapped file that another program cuts short loses the pages past its
// new end: mapping_guard.h puts zeros in their place and sets `cut`, and
// the run fails as for a file that ended early.
struct Input {
    FILE* f = nullptr;                // null for bytes in memory
    const unsigned char* buf = nullptr;  // the bytes being read: the block, or the caller's bytes
    unsigned char* block = nullptr;   // the block buffer buf points into, for a file
    size_t pos = 0;                   // the next byte of buf to read
    size_t len = 0;                   // bytes in buf
    bool eof = false;                 // a read met the end (sticky, as stdio's indicator)
    int64_t size = -1;  // the input's size (a file's when opened), or -1 when it cannot be known (a pipe)
    int64_t base = 0;   // offset of buf[0] in the input
    unsigned char* hold = nullptr;    // held memory: the arrays of the group that were read, not mapped
    size_t held = 0;                  // bytes of it in use
    size_t holdCap = 0;               // bytes it holds
    std::atomic<bool>* cut = nullptr;  // the run's flag for mapped arrays; null: none are mapped
    struct Mapping {
        void* at;    // where it lies
        size_t len;  // its length
        int guard;  // its slot in mapping_guard
    } maps[8] = {};  // the current group's mapped arrays
    int mapped = 0;  // maps in use
};

// Opens path. Large arrays are mapped when cut, the flag that tells that
// the file was cut short under them, is given. False with errno set.
bool openInput(Input& in, const char* path, std::atomic<bool>* cut = nullptr);
// Reads the n bytes at data, which stay the caller's and must outlive the
// input.
void openInputBytes(Input& in, const unsigned char* data, size_t n);
void closeInput(Input& in);

// Bytes the input has left after what was read, or -1 when unknown.
inline int64_t bytesLeft(const Input& in) {
    if (in.size < 0) return -1;
    int64_t left = in.size - in.base - static_cast<int64_t>(in.pos);
    return left > 0 ? left : 0;
}

// True when the file was cut short (or replaced) while it was read: under
// a mapped array, or before a read reached the size it had when opened.
inline bool endedEarly(const Input& in) {
    if (in.cut && in.cut->load(std::memory_order_acquire)) return true;
    return in.f && in.eof && in.size >= 0 && in.base + static_cast<int64_t>(in.pos) < in.size && !std::ferror(in.f);
}

// Reads n bytes into dst. On a short read the missing bytes become zero and
// eof is set; a read that takes exactly the last bytes leaves eof clear.
void readBytes(Input& in, void* dst, size_t n);

// Where an array taken by takeBytes lies: in place (a mapping of its own,
// or the caller's bytes), or at an offset in held memory, which may move
// until the group is read.
struct Piece {
    const unsigned char* inPlace = nullptr;  // the array where it lies, or null: in held memory
    size_t at = 0;                           // else its offset there
};

// Takes the next n bytes of the input as one array, valid until
// startGroup(). Held memory for a file of unknown size grows only as its
// bytes arrive, so that a count larger than the data behind it costs
// nothing.
enum class Take { ok, short_read, no_memory };
Take takeBytes(Input& in, uint64_t n, Piece& piece);

// Moves past the next n bytes without reading them where it can (bytes in
// memory, a file that seeks): short_read, with eof set, when the input
// ends first.
Take skipBytes(Input& in, uint64_t n);

inline const unsigned char* pieceAt(const Input& in, const Piece& p) {
    return p.inPlace ? p.inPlace : in.hold + p.at;
}

// Starts a new group: the previous group's arrays go, held memory stays.
void startGroup(Input& in);

}  // namespace quarlen
