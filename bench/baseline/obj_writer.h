// Benchmark baseline: the converter's core as it was before the parallel writer,
// copied unchanged into namespace baseline so both can be timed in one run.
// Writing OBJ text: group lines, point and texture-vertex lines, facets with
// global 1-based numbering, and the closing comment block. Lines end in CR LF
// on every host, and so does every LF byte inside a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace baseline {

// An output file written in large blocks. Nothing reaches the file until
// drain(): the run drains before every notice, so that the file on disk then
// holds exactly what was written up to that moment.
struct Output {
    FILE* f = nullptr;
    char* buf = nullptr;
    size_t len = 0;
    int error = 0;  // errno of the first failed write, such as a full disk
    bool borrowed = false;  // f belongs to the caller and stays open
};

inline constexpr size_t output_block = size_t(1) << 20;

bool openOutput(Output& out, const char* path);  // false with errno set
bool attachOutput(Output& out, FILE* f);          // writes to f, which stays open
void drain(Output& out);
void closeOutput(Output& out);  // drains first; a failure is kept in out.error

// Room for n more bytes at the end of the buffer.
inline char* room(Output& out, size_t n) {
    if (output_block - out.len < n) drain(out);
    return out.buf + out.len;
}

// One group's arrays as read from the file; pointers are null when empty.
// Facet records stay in their stored form, decoded as they are written.
struct Group {
    int32_t np = 0, nq = 0, nf = 0, nt = 0, nq2 = 0, nf2 = 0, nm = 0;
    float *x = nullptr, *y = nullptr, *z = nullptr;
    int32_t* pf = nullptr;          // vertex index list
    unsigned char* fac = nullptr;   // nf stored facet records
    float *u = nullptr, *v = nullptr;
    int32_t* pt = nullptr;          // texture index list
    unsigned char* fac2 = nullptr;  // nf2 stored texture facet records
    char* mats = nullptr;           // nm material name slots, each NUL-terminated
};

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

// Writes the points, texture vertices and facets of g. False when a corner
// lies outside the vertex or texture index list; the line written so far,
// up to the last corner that was in range, stays in the output.
bool writeGroupBody(Output& out, const Group& g, Totals& t);

void writeClosing(Output& out, const Totals& t);

}  // namespace baseline
