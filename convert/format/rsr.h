// The RSR geometry file: its layout, its values, and the reading of its
// groups in field order. Every rule of the format lives here; the writers
// read a group only through what this header gives.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "convert/format/input.h"

namespace quarlen {

// Byte sizes of the file's fixed parts and records.
inline constexpr int header_size = 268;
inline constexpr int trailer_size = 47;
inline constexpr int face_size = 18;
inline constexpr int face2_size = 8;
inline constexpr int material_size = 40;  // a name has at most 39 bytes: the 40th is taken as NUL
inline constexpr int max_name_length = 256;

// Sums of the format's signed 32-bit numbers wrap around modulo 2^32.
inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// The one range rule of the format's lists (the index lists, the points,
// the texture vertices): positions first to first + count - 1 all lie in
// a list of n entries. No positions always do.
constexpr bool inList(int64_t first, int64_t count, int32_t n) {
    return count <= 0 || (first >= 0 && first + count <= n);
}

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
inline float Float(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// The next int32be field of the input. Fields are read one at a time from
// the block buffer; only a field that straddles a block end takes the slow
// path.
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

// The i-th big-endian 32-bit integer and float of a stored array.
inline int32_t intAt(const unsigned char* a, size_t i) { return static_cast<int32_t>(be32(a + 4 * i)); }
inline float floatAt(const unsigned char* a, size_t i) { return Float(be32(a + 4 * i)); }

// One group's fields as stored in the file, big-endian. The arrays lie in
// the input (held or the caller's bytes); an empty one is never read.
struct Group {
    int32_t np = 0;   // points
    int32_t nq = 0;   // entries of the vertex index list
    int32_t nf = 0;   // facets
    int32_t nt = 0;   // texture vertices (0 without texture data)
    int32_t nq2 = 0;  // entries of the texture index list
    int32_t nf2 = 0;  // texture facets, which go with facets 0 to nf2 - 1
    int32_t nm = 0;   // material names
    const unsigned char* xyz = nullptr;   // x, y, z of each point in turn
    const unsigned char* pf = nullptr;    // vertex index list
    const unsigned char* fac = nullptr;   // nf facet records
    const unsigned char* uv = nullptr;    // u, v of each texture vertex in turn
    const unsigned char* pt = nullptr;    // texture index list
    const unsigned char* fac2 = nullptr;  // nf2 texture facet records
    const unsigned char* mats = nullptr;  // nm material slots
};

// Coordinate k (0 to 2) of point i, and of texture vertex i (0 to 1).
inline float pointAt(const Group& g, int32_t i, int k) { return floatAt(g.xyz, 3 * size_t(i) + size_t(k)); }
inline float texAt(const Group& g, int32_t i, int k) { return floatAt(g.uv, 2 * size_t(i) + size_t(k)); }

// Entries of the vertex and texture index lists.
inline int32_t vertexEntry(const Group& g, int32_t s) { return intAt(g.pf, size_t(s)); }
inline int32_t textureEntry(const Group& g, int32_t k) { return intAt(g.pt, size_t(k)); }

// Facet j: its corners are the vertex index list entries c1 to c1 + nc - 1;
// mat numbers one of the group's material names. The texture facet of the
// same number gives its texture corners; past the last one, both fields
// are -1.
struct Face {
    int32_t c1;   // the vertex index list position of its first corner
    int32_t nc;   // its corners
    int16_t mat;  // its material name's slot
};
struct TexFace {
    int32_t c1 = -1;  // the texture index list position of its first texture corner
    int32_t nc = -1;  // its texture corners
};

inline Face faceAt(const Group& g, int32_t j) {
    const unsigned char* rec = g.fac + size_t(j) * face_size;
    // The material number is the one field stored low byte first.
    return {static_cast<int32_t>(be32(rec)), static_cast<int32_t>(be32(rec + 4)),
            static_cast<int16_t>(rec[13] | (rec[14] << 8))};
}

inline TexFace texFaceAt(const Group& g, int32_t j) {
    if (j >= g.nf2) return {};
    const unsigned char* rec = g.fac2 + size_t(j) * face2_size;
    return {static_cast<int32_t>(be32(rec)), static_cast<int32_t>(be32(rec + 4))};
}

// The material in force after a facet with material number mat, when cm
// was in force before it: a number outside the group's names changes
// nothing.
inline int32_t materialAfter(const Group& g, int32_t cm, int32_t mat) { return mat >= 0 && mat < g.nm ? mat : cm; }

// Where a walk over facets ended: the first facet it did not take, and the
// material in force after the last one it took.
struct FacetsWalked {
    int32_t end;  // the first facet not taken
    int32_t cm;   // the material in force after the last one taken
};

// Walks facets begin to end - 1 in order, each with the material in force
// at it: take(j, face, cm), cm being -1 until the group's first valid
// material number. `cm` is the material in force before begin. A take that
// returns false stops the walk before that facet, which it leaves to the
// next walk.
template <class Take>
FacetsWalked walkFacets(const Group& g, int32_t begin, int32_t end, int32_t cm, Take&& take) {
    assert(0 <= begin && begin <= end && end <= g.nf);
    for (int32_t j = begin; j < end; ++j) {
        const Face f = faceAt(g, j);
        const int32_t next = materialAfter(g, cm, f.mat);
        if (!take(j, f, next)) return {j, cm};
        cm = next;
    }
    return {end, cm};
}

// Material slot i as a C string: a name ends at its first NUL or after the
// slot's 39th byte.
struct MaterialName {
    char s[material_size];  // the name, NUL-terminated
};
inline MaterialName materialName(const Group& g, int32_t i) {
    MaterialName m;
    std::memcpy(m.s, g.mats + size_t(i) * material_size, material_size - 1);
    m.s[material_size - 1] = '\0';
    return m;
}

// The corners of facet j as they are walked: position s runs from c1 while
// s < c1 + nc, the bound wrapping around as a signed 32-bit sum, and the
// texture position k from the texture facet's c1 alongside it, giving a
// texture corner while k < its c1 + nc.
struct CornerWalk {
    int32_t c1;        // the first corner's vertex index list position
    int32_t c12;       // the first corner's texture index list position; below 0: no texture corners
    int32_t end2;      // c12 + the texture facet's nc, wrapped: where texture corners end
    uint32_t corners;  // positions from c1 to below c1 + nc, that bound wrapped (none when it is not above c1)
};

inline uint32_t walkLength(int32_t c1, int32_t nc) {
    const int32_t end = wrapAdd(c1, nc);
    return end > c1 ? static_cast<uint32_t>(int64_t(end) - c1) : 0;
}

inline CornerWalk cornerWalk(const Face& f, const TexFace& t) {
    return {f.c1, t.c1, wrapAdd(t.c1, t.nc), walkLength(f.c1, f.nc)};
}

// Corner i of a walk: the vertex index list entry v and, when `textured`,
// the texture index list entry t. False at a position outside its list,
// where the walk fails ("bad value"); `textured` then tells whether the
// vertex side was in range and only the texture side was not.
struct Corner {
    int32_t v = 0;          // the vertex index list entry: a point of the group, if in range
    int32_t t = 0;          // the texture index list entry, when textured
    bool textured = false;  // the corner has a texture corner
};
inline bool cornerAt(const Group& g, const CornerWalk& w, uint32_t i, Corner& c) {
    const auto s = static_cast<int32_t>(static_cast<uint32_t>(w.c1) + i);
    c.textured = false;
    if (!inList(s, 1, g.nq)) return false;
    c.v = vertexEntry(g, s);
    const auto k = static_cast<int32_t>(static_cast<uint32_t>(w.c12) + i);
    if (w.c12 < 0 || k >= w.end2) return true;
    c.textured = true;
    if (!inList(k, 1, g.nq2)) return false;
    c.t = textureEntry(g, k);
    return true;
}

// Walks the corners from to stop - 1 of w, handing each to put(corner),
// and stops at the first corner outside the vertex or texture index list
// ("bad value"), returning false: put has then had the corners before it,
// and that corner's vertex side (untextured) when only its texture side
// was outside.
template <class Put>
bool walkCorners(const Group& g, const CornerWalk& w, uint32_t from, uint32_t stop, Put&& put) {
    for (uint32_t i = from; i < stop; ++i) {
        Corner c;
        if (cornerAt(g, w, i, c)) {
            put(c);
            continue;
        }
        if (c.textured) {
            c.textured = false;
            put(c);
        }
        return false;
    }
    return true;
}

// Reading a file: the header, groups until the end marker, the trailer.
// Each read is followed by the test its field needs; a failure says what
// the run tells the user.

enum class GroupStart {
    group,        // a name was read
    end_marker,   // a name length of 0: no more groups
    bad_length,   // a name length outside 1 to 256
    end_of_file,  // the file ended
};

// Reads the header (not interpreted; no test follows).
void readHeader(Input& in);
void readTrailer(Input& in);

// Reads a group's name length and name. `length` is the name length read.
GroupStart readGroupStart(Input& in, int32_t& length, char (&name)[max_name_length + 1]);

// Why reading a group's counts and arrays failed.
struct ReadFailure {
    enum Kind { none, end_of_file, no_memory } kind = none;  // none: the group was read
    const char* count = "";  // for no_memory: the count's name ("np", "nq", ...)
    int32_t value = 0;       // and its value
    int asks = 0;            // blocks asked of the heap for it, each refused
};

// Reads the counts and arrays of a group whose name has been read, in
// field order. The arrays stay valid until the next startGroup(). With
// pointsOnly, the arrays other than the points are skipped, not read, and
// stay null; the counts and failures are the same.
ReadFailure readGroupBody(Input& in, Group& g, bool pointsOnly = false);

}  // namespace quarlen
