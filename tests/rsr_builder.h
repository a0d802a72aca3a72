// Writes RSR geometry files field by field, for tests, examples and the
// benchmark. Well-formed files come from buildRsr(); broken ones are made by
// calling the put functions in any order, or by cutting a built file.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/format/rsr.h"

using Bytes = std::vector<unsigned char>;

inline void putI32(Bytes& b, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    b.insert(b.end(), {static_cast<unsigned char>(u >> 24), static_cast<unsigned char>(u >> 16),
                       static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u)});
}

inline void putF32(Bytes& b, float f) { putI32(b, static_cast<int32_t>(std::bit_cast<uint32_t>(f))); }

inline void putRaw(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

inline void putFill(Bytes& b, size_t n, unsigned char byte) { b.insert(b.end(), n, byte); }

// The header's contents are never looked at; a recognisable fill helps
// when reading a hex dump.
inline void putHeader(Bytes& b) { putFill(b, quarlen::header_size, 0xA5); }
inline void putEndMarker(Bytes& b) { putI32(b, 0); }
inline void putTrailer(Bytes& b) { putFill(b, quarlen::trailer_size, 0x5A); }

struct Facet {
    int32_t c1 = 0, nc = 0;
    int16_t mat = 0;
};

struct TexFacet {
    int32_t c1 = 0, nc = 0;
};

struct GroupSpec {
    std::string name;          // raw bytes, NULs and LFs allowed
    std::vector<float> xyz;    // x, y, z of each point in turn
    std::vector<int32_t> pf;   // vertex index list
    std::vector<Facet> faces;
    int32_t texq = 0;          // as stored: any value but 0 means texture data follows
    std::vector<float> uv;     // u, v of each texture vertex in turn
    std::vector<int32_t> pt;   // texture index list
    std::vector<TexFacet> faces2;
    std::vector<std::string> mats;  // each stored in a 40-byte slot
};

inline void putFacet(Bytes& b, const Facet& f) {
    putI32(b, f.c1);
    putI32(b, f.nc);
    putFill(b, 5, 0xEE);
    const auto m = static_cast<uint16_t>(f.mat);
    b.push_back(static_cast<unsigned char>(m & 0xFF));  // the one little-endian field
    b.push_back(static_cast<unsigned char>(m >> 8));
    putFill(b, 3, 0xEE);
}

inline void putMaterial(Bytes& b, const std::string& name) {
    std::string slot = name.substr(0, 40);
    slot.resize(40, '\0');
    putRaw(b, slot);
}

// The group's arrays as the file stores them, each after its count.
struct StoredArrays {
    Bytes xyz, pf, fac, uv, pt, fac2, mats;
    explicit StoredArrays(const GroupSpec& g) {
        for (float f : g.xyz) putF32(xyz, f);
        for (int32_t i : g.pf) putI32(pf, i);
        for (const Facet& f : g.faces) putFacet(fac, f);
        for (float f : g.uv) putF32(uv, f);
        for (int32_t i : g.pt) putI32(pt, i);
        for (const TexFacet& f : g.faces2) putI32(fac2, f.c1), putI32(fac2, f.nc);
        for (const std::string& m : g.mats) putMaterial(mats, m);
    }
};

inline void putArray(Bytes& b, size_t count, const Bytes& items) {
    putI32(b, static_cast<int32_t>(count));
    b.insert(b.end(), items.begin(), items.end());
}

inline void putGroup(Bytes& b, const GroupSpec& g) {
    const StoredArrays s(g);
    putArray(b, g.name.size(), Bytes(g.name.begin(), g.name.end()));
    putArray(b, g.xyz.size() / 3, s.xyz);
    putArray(b, g.pf.size(), s.pf);
    putArray(b, g.faces.size(), s.fac);
    putI32(b, g.texq);
    if (g.texq) {
        putArray(b, g.uv.size() / 2, s.uv);
        putArray(b, g.pt.size(), s.pt);
        putArray(b, g.faces2.size(), s.fac2);
    }
    putArray(b, g.mats.size(), s.mats);
}

// A group as a writer reads it, for the tests that call a writer
// themselves: its arrays kept here.
struct StoredGroup : StoredArrays {
    quarlen::Group g;
    explicit StoredGroup(const GroupSpec& s) : StoredArrays(s) {
        g = {int32_t(s.xyz.size() / 3), int32_t(s.pf.size()), int32_t(s.faces.size()), int32_t(s.uv.size() / 2),
             int32_t(s.pt.size()), int32_t(s.faces2.size()), int32_t(s.mats.size()), xyz.data(), pf.data(),
             fac.data(), uv.data(), pt.data(), fac2.data(), mats.data()};
    }
    StoredGroup(const StoredGroup&) = delete;
};

inline Bytes buildRsr(const std::vector<GroupSpec>& groups) {
    Bytes b;
    putHeader(b);
    for (const GroupSpec& g : groups) putGroup(b, g);
    putEndMarker(b);
    putTrailer(b);
    return b;
}
