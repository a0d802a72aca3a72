// The RSR file's value readers: big-endian 32-bit integers and floats, read
// through a buffered input that keeps a sticky end-of-file indicator.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

// Byte sizes of the file's fixed parts and records.
inline constexpr int header_size = 268;
inline constexpr int trailer_size = 47;
inline constexpr int face_size = 18;
inline constexpr int face2_size = 8;
inline constexpr int material_size = 40;
inline constexpr int max_name_length = 256;

// An input file read in large blocks. A read that asks for more bytes than
// the file has left sets eof, which stays set: the same contract as a stdio
// stream's end-of-file indicator, which the conversion tests after each
// field.
//
// A group's arrays are taken whole (takeBytes) into held memory, kept from
// group to group rather than given back. They are read, not mapped: a
// mapped file that another program cuts short kills the process (SIGBUS),
// while a read just comes up short.
struct Input {
    FILE* f = nullptr;
    unsigned char* buf = nullptr;
    size_t pos = 0, len = 0;
    bool eof = false;
    int64_t size = -1;  // the file's size when opened, or -1 when it cannot be known (a pipe)
    int64_t base = 0;   // file offset of buf[0]
    unsigned char* hold = nullptr;
    size_t held = 0, holdCap = 0;
};

// Opens path. False with errno set.
bool openInput(Input& in, const char* path);
void closeInput(Input& in);

// Bytes the file has left after what was read, or -1 when unknown.
inline int64_t bytesLeft(const Input& in) {
    if (in.size < 0) return -1;
    int64_t left = in.size - in.base - static_cast<int64_t>(in.pos);
    return left > 0 ? left : 0;
}

// Reads n bytes into dst. On a short read the missing bytes become zero and
// eof is set; a read that takes exactly the last bytes leaves eof clear.
void readBytes(Input& in, void* dst, size_t n);

// True when eof came before the size the file had when it was opened: the
// file was cut short (or replaced) while it was read.
inline bool endedEarly(const Input& in) {
    return in.eof && in.size >= 0 && in.base + static_cast<int64_t>(in.pos) < in.size && !std::ferror(in.f);
}

// Where an array taken by takeBytes lies: an offset in held memory, which
// may move until the group is read.
struct Piece {
    size_t at = 0;
};

// Takes the next n bytes of the file as one array, valid until startGroup().
// Held memory for a file of unknown size grows only as its bytes arrive, so
// that a count larger than the data behind it costs nothing.
enum class Take { ok, short_read, no_memory };
Take takeBytes(Input& in, uint64_t n, Piece& piece);

inline const unsigned char* pieceAt(const Input& in, const Piece& p) { return in.hold + p.at; }

// Starts a new group: the previous group's arrays go, held memory stays.
void startGroup(Input& in);

// Reverses the byte order of a 32-bit value.
constexpr uint32_t endianrev(uint32_t x) {
    return (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
}

// The big-endian 32-bit field at p, whatever the host's byte order.
inline uint32_t be32(const unsigned char* p) {
    uint32_t x;
    std::memcpy(&x, p, 4);
    if constexpr (std::endian::native == std::endian::little) x = endianrev(x);
    return x;
}

// The float whose IEEE-754 single-precision bits are `bits`.
inline float Float(uint32_t bits) { return std::bit_cast<float>(bits); }

// The next int32be field. Fields are read one at a time from the block
// buffer; only a field that straddles a block end takes the slow path.
inline int32_t Getl(Input& in) {
    unsigned char b[4];
    if (in.len - in.pos >= 4) {
        std::memcpy(b, in.buf + in.pos, 4);
        in.pos += 4;
    } else {
        readBytes(in, b, 4);
    }
    return static_cast<int32_t>(be32(b));
}

// The next float32be field.
inline float Getf(Input& in) { return Float(static_cast<uint32_t>(Getl(in))); }

// The i-th big-endian 32-bit integer and float of a stored array.
inline int32_t intAt(const unsigned char* a, size_t i) { return static_cast<int32_t>(be32(a + 4 * i)); }
inline float floatAt(const unsigned char* a, size_t i) { return Float(be32(a + 4 * i)); }

// Fields of a stored facet record (18 bytes: c1, nc, 5 bytes, mat, 3 bytes)
// and texture facet record (8 bytes: c1, nc).
inline int32_t faceC1(const unsigned char* rec) { return static_cast<int32_t>(be32(rec)); }
inline int32_t faceNc(const unsigned char* rec) { return static_cast<int32_t>(be32(rec + 4)); }
// The material number is the one field stored low byte first.
inline int16_t faceMat(const unsigned char* rec) {
    return static_cast<int16_t>(rec[13] | (rec[14] << 8));
}
