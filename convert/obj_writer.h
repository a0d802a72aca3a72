// Writing OBJ text: group lines, point and texture-vertex lines, facets with
// global 1-based numbering, and the closing comment block. Lines end in CR LF
// on every host, and so does every LF byte inside a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

inline constexpr size_t output_block = size_t(1) << 20;

// An output file written in large blocks. Nothing reaches the file until
// drain() or a large putBytes(): the run drains before every notice, so that
// the file on disk then holds exactly what was written up to that moment.
struct Output {
    FILE* f = nullptr;
    char* buf = nullptr;
    size_t len = 0;
    size_t block = output_block;  // bytes buf holds; no less than the longest line
    int error = 0;  // errno of the first failed write, such as a full disk
    bool borrowed = false;  // f belongs to the caller and stays open
};

bool openOutput(Output& out, const char* path);  // false with errno set
bool attachOutput(Output& out, FILE* f);          // writes to f, which stays open
void drain(Output& out);
void closeOutput(Output& out);  // drains first; a failure is kept in out.error

// Room for n more bytes at the end of the buffer.
inline char* room(Output& out, size_t n) {
    if (out.block - out.len < n) drain(out);
    return out.buf + out.len;
}

// Appends n bytes of text made elsewhere; a large piece goes to the file
// directly, after what is buffered.
void putBytes(Output& out, const char* p, size_t n);

// One group's fields as stored in the file, big-endian, read with intAt,
// floatAt and the face* readers of rsr.h. The arrays lie in mappings of the
// input file or in the input's held memory; an empty one is never read.
struct Group;

// Material slot i of a group as a C string: a name ends at its first NUL or
// after the slot's 39th byte.
struct MaterialName {
    char s[40];
};
MaterialName materialName(const Group& g, int32_t i);

struct Group {
    int32_t np = 0, nq = 0, nf = 0, nt = 0, nq2 = 0, nf2 = 0, nm = 0;
    const unsigned char* xyz = nullptr;   // x, y, z of each point in turn
    const unsigned char* pf = nullptr;    // vertex index list
    const unsigned char* fac = nullptr;   // nf facet records
    const unsigned char* uv = nullptr;    // u, v of each texture vertex in turn
    const unsigned char* pt = nullptr;    // texture index list
    const unsigned char* fac2 = nullptr;  // nf2 texture facet records
    const unsigned char* mats = nullptr;  // nm material slots; a name ends at its first NUL
                                          // or after the slot's 39th byte
};

inline MaterialName materialName(const Group& g, int32_t i) {
    MaterialName m;
    std::memcpy(m.s, g.mats + size_t(i) * 40, 39);
    m.s[39] = '\0';
    return m;
}

// The material in force after a facet whose record names material `mat`:
// a number outside the group's nm slots leaves the one before (-1: none).
inline int32_t materialInForce(int32_t cm, int32_t mat, int32_t nm) { return mat >= 0 && mat < nm ? mat : cm; }

// The run totals: numbers given to the next group's first point and texture
// vertex, facets in completed groups, most corners of any facet written.
struct Totals {
    int32_t dv = 1, dt = 1, Nf = 0, Nq = 0;
};

// Sums of the format's signed 32-bit numbers wrap around modulo 2^32.
inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

void writeGroupLine(Output& out, const char* name);

// Writes the points, texture vertices and facets of g on the caller's
// thread. False when a corner lies outside the vertex or texture index
// list; the line written so far, up to the last corner that was in range,
// stays in the output.
bool writeGroupBody(Output& out, const Group& g, Totals& t);

void writeClosing(Output& out, const Totals& t);
