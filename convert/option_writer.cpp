#include "convert/option_writer.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "convert/format.h"
#include "convert/rsr.h"

namespace {

char* putText(char* p, const char* s, size_t n) {
    std::memcpy(p, s, n);
    return p + n;
}

char* putEnd(const OptionRun& r, char* p) { return r.o.lf ? putText(p, "\n", 1) : putText(p, "\r\n", 2); }

void finish(Output& out, char* p) { out.len = static_cast<size_t>(p - out.buf); }

// A name as the traditional output writes it: every LF becomes the line end.
char* putRawName(const OptionRun& r, char* p, const char* s) {
    for (; *s; ++s) {
        if (*s == '\n' && !r.o.lf) *p++ = '\r';
        *p++ = *s;
    }
    return p;
}

char* putCoordinate(const OptionRun& r, char* p, float f) {
    if (r.o.exact && std::isfinite(f)) return std::to_chars(p, p + float_text_max, f).ptr;
    return formatFloat(p, f);
}

// A group or material line; with `safe`, the name made safe.
void nameLine(OptionRun& r, Output& out, const char* head, size_t headLen, const char* name, bool safe,
              bool material) {
    char* p = room(out, headLen + 2 * std::strlen(name) + 16);
    p = putText(p, head, headLen);
    p = safe ? putSafeName(p, name, material) : putRawName(r, p, name);
    finish(out, putEnd(r, p));
}

void floatLine(OptionRun& r, Output& out, const char* head, size_t headLen, const float* c, int n) {
    char* p = putText(room(out, headLen + 3 * float_text_max + 4), head, headLen);
    for (int k = 0; k < n; ++k) {
        if (k) *p++ = ' ';
        p = putCoordinate(r, p, c[k]);
    }
    finish(out, putEnd(r, p));
}

// Scale and axis, and with clean a 0 for each coordinate that is not
// finite once scaled. `key` gets the bits welding compares: the stored
// coordinates, with clean's zeros. True when clean changed the point.
bool writtenPoint(const OptionRun& r, float x, float y, float z, float w[3], uint32_t key[3]) {
    const float stored[3] = {x, y, z};
    float s[3] = {x, y, z};
    bool changed = false;
    for (int k = 0; k < 3; ++k) {
        s[k] = scaledCoordinate(s[k], r.o.scale);
        key[k] = std::bit_cast<uint32_t>(stored[k]);
        if (r.o.clean && !std::isfinite(s[k])) {
            s[k] = 0;
            key[k] = 0;
            changed = true;
        }
    }
    if (r.o.zUp) {
        // 0 - z rather than -z, so that no "-0" appears for z = 0.
        w[0] = s[0];
        w[1] = 0.0f - s[2];
        w[2] = s[1];
    } else {
        std::memcpy(w, s, sizeof s);
    }
    return changed;
}

// Point lines; with weld only points not seen before, and map gets each
// point's number. False when the weld table cannot grow.
bool writePoints(OptionRun& r, Output& out, const Group& g) {
    if (r.o.clean) r.badPoint.assign(size_t(g.np), 0);
    if (r.o.weld) r.map.resize(size_t(g.np));
    for (int32_t i = 0; i < g.np; ++i) {
        float w[3];
        uint32_t key[3];
        if (writtenPoint(r, floatAt(g.xyz, 3 * size_t(i)), floatAt(g.xyz, 3 * size_t(i) + 1), floatAt(g.xyz, 3 * size_t(i) + 2), w, key)) {
            r.badPoint[size_t(i)] = 1;
            ++r.counts.pointsZeroed;
        }
        if (r.o.weld) {
            bool added;
            const int32_t number = weldPoint(r.weld, key[0], key[1], key[2], r.t.dv, added);
            if (number == 0) return false;
            r.map[size_t(i)] = number;
            if (!added) continue;
        }
        floatLine(r, out, "v ", 2, w, 3);
        r.t.dv = wrapAdd(r.t.dv, 1);
    }
    return true;
}

void writeTextureVertices(OptionRun& r, Output& out, const Group& g) {
    if (r.o.clean) r.badTex.assign(size_t(g.nt), 0);
    for (int32_t i = 0; i < g.nt; ++i) {
        float c[2] = {floatAt(g.uv, 2 * size_t(i)), floatAt(g.uv, 2 * size_t(i) + 1)};
        if (r.o.clean && (!std::isfinite(c[0]) || !std::isfinite(c[1]))) {
            for (float& f : c)
                if (!std::isfinite(f)) f = 0;
            r.badTex[size_t(i)] = 1;
            ++r.counts.textureZeroed;
        }
        floatLine(r, out, "vt ", 3, c, 2);
    }
    r.t.dt = wrapAdd(r.t.dt, g.nt);
}

void writeMaterialLine(OptionRun& r, Output& out, const Group& g, int32_t slot) {
    const MaterialName stored = materialName(g, slot);
    const char* name = stored.s;
    const bool safe = r.o.clean || r.o.mtl;
    if (r.o.clean && !r.named[size_t(slot)]) {
        r.named[size_t(slot)] = 1;
        if (!safeName(name, true)) ++r.counts.names;
    }
    nameLine(r, out, "usemtl ", 7, name, safe, true);
    if (r.o.mtl) useMaterialName(r.materials, name);
}

// The corners after a facet's "f": c's corners at[0..n) or, without at,
// the first n.
void putCorners(Output& out, const Corners& c, const size_t* at, size_t n) {
    char* p = room(out, 1);
    *p++ = 'f';
    finish(out, p);
    for (size_t i = 0; i < n; ++i) {
        const size_t k = at ? at[i] : i;
        p = room(out, 2 * int_text_max + 2);
        *p++ = ' ';
        p = formatInt(p, c.v[k]);
        if (k < c.t.size()) {
            *p++ = '/';
            p = formatInt(p, c.t[k]);
        }
        finish(out, p);
    }
}

void facetLine(OptionRun& r, Output& out, const Corners& c, const size_t* at, size_t n, int32_t counted) {
    putCorners(out, c, at, n);
    finish(out, putEnd(r, room(out, 2)));
    r.t.Nf = wrapAdd(r.t.Nf, 1);
    if (counted > r.t.Nq) r.t.Nq = counted;
}

// Writes one facet, fanned into triangles from its first corner when asked.
// An unchanged facet counts its stored corner count `nc` in the closing
// comments, as the traditional output does.
void writeFacet(OptionRun& r, Output& out, const Corners& c, int32_t nc) {
    const size_t n = c.v.size();
    if (!r.o.triangulate || n <= 3) {
        facetLine(r, out, c, nullptr, n, r.o.clean || r.o.triangulate ? int32_t(n) : nc);
        return;
    }
    for (size_t i = 0; i + 2 < n; ++i) {
        size_t at[3];
        fanTriangle(i, at);
        facetLine(r, out, c, at, 3, 3);
    }
}

GroupWritten writeGroup(OptionRun& r, Output& out, const char* name, const Group& g) {
    writeOptionGroupLine(r, out, name);
    Numbering n;
    n.vbase = r.t.dv;
    if (!writePoints(r, out, g)) return GroupWritten::no_memory;
    n.tbase = r.t.dt;
    writeTextureVertices(r, out, g);
    if (r.o.weld) n.map = r.map.data();
    if (r.o.clean) {
        n.badPoint = r.badPoint.data();
        n.badTex = r.badTex.data();
        r.named.assign(size_t(g.nm), 0);
    }

    int32_t cm = -1;       // the material in force, as the traditional output tracks it
    int32_t written = -1;  // the material of the last "usemtl" line written for this group
    for (int32_t j = 0; j < g.nf; ++j) {
        cm = materialInForce(cm, faceMat(g.fac + size_t(j) * face_size), g.nm);
        bool ok = true;
        if (r.o.clean) {
            if (!cleanFacet(g, j, n, r.corners, r.counts)) continue;
        } else {
            ok = rawFacet(g, j, n, r.corners);
        }
        // A material line only for a facet that is written.
        if (cm >= 0 && cm != written) {
            writeMaterialLine(r, out, g, cm);
            written = cm;
        }
        if (!ok) {
            putCorners(out, r.corners, nullptr, r.corners.v.size());  // no line end, as traditionally
            return GroupWritten::bad_value;
        }
        writeFacet(r, out, r.corners, faceNc(g.fac + size_t(j) * face_size));
    }
    return GroupWritten::done;
}

}  // namespace

void startOptions(OptionRun& r, const OutputOptions& o, const char* File, bool toStream, Output& out) {
    r.o = o;
    if (o.mtl && !toStream) r.mtlPath = mtlPathFor(File);
    if (!r.mtlPath.empty()) nameLine(r, out, "mtllib ", 7, baseName(r.mtlPath.c_str()), false, false);
}

GroupWritten writeOptionGroup(OptionRun& r, Output& out, const char* name, const Group& g) {
    try {
        return writeGroup(r, out, name, g);
    } catch (const std::bad_alloc&) {
        return GroupWritten::no_memory;
    }
}

void writeOptionGroupLine(OptionRun& r, Output& out, const char* name) {
    if (r.o.clean && !safeName(name, false)) ++r.counts.names;
    nameLine(r, out, "g ", 2, name, r.o.clean, false);
}

void writeOptionClosing(const OptionRun& r, Output& out) {
    char* p = room(out, 160);
    p = putEnd(r, putText(p, "# File generated by QUARLEN", 27));
    p = putText(p, "# NumFacets/MaxNumEdges ", 24);
    p = formatInt(p, r.t.Nf);
    *p++ = '/';
    p = putEnd(r, formatInt(p, r.t.Nq));
    p = putText(p, "# NumVerts/NumTVerts/NumVNormals   ", 35);
    p = formatInt(p, wrapAdd(r.t.dv, -1));
    *p++ = '/';
    p = formatInt(p, wrapAdd(r.t.dt, -1));
    finish(out, putEnd(r, putText(p, "/0", 2)));
}

std::string cleanNotice(const OptionRun& r) {
    if (!r.o.clean) return "";
    const std::string what = describeCounts(r.counts);
    return what.empty() ? what : "cleaned: " + what;
}
