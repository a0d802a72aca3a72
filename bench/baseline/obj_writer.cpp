// Benchmark baseline: the converter's core as it was before the parallel writer,
// copied unchanged into namespace baseline so both can be timed in one run.
#include "bench/baseline/obj_writer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bench/baseline/format.h"
#include "bench/baseline/rsr.h"

namespace baseline {

namespace {

bool takeBuffer(Output& out) {
    out.buf = static_cast<char*>(std::malloc(output_block));
    if (out.buf) return true;
    if (!out.borrowed) std::fclose(out.f);
    out.f = nullptr;
    errno = ENOMEM;
    return false;
}

}  // namespace

bool openOutput(Output& out, const char* path) {
    out = Output{};
    out.f = std::fopen(path, "wb");  // line ends are written as CR LF by hand
    if (!out.f || !takeBuffer(out)) return false;
    std::setvbuf(out.f, nullptr, _IONBF, 0);  // blocks are large already
    return true;
}

bool attachOutput(Output& out, FILE* f) {
    out = Output{};
    out.f = f;
    out.borrowed = true;
    return takeBuffer(out);
}

void drain(Output& out) {
    if (out.len && std::fwrite(out.buf, 1, out.len, out.f) != out.len && !out.error)
        out.error = errno ? errno : EIO;
    out.len = 0;
}

void closeOutput(Output& out) {
    if (out.f) {
        drain(out);
        const int closed = out.borrowed ? std::fflush(out.f) : std::fclose(out.f);
        if (closed != 0 && !out.error) out.error = errno ? errno : EIO;
    }
    std::free(out.buf);
    const int error = out.error;
    out = Output{};
    out.error = error;
}

namespace {

char* putText(char* p, const char* s, size_t n) {
    std::memcpy(p, s, n);
    return p + n;
}

char* putEnd(char* p) { return putText(p, "\r\n", 2); }

// Copies a name up to its NUL, turning each LF into CR LF.
char* putName(char* p, const char* s) {
    for (; *s; ++s) {
        if (*s == '\n') *p++ = '\r';
        *p++ = *s;
    }
    return p;
}

void putLine(Output& out, const char* head, size_t headLen, const char* name) {
    char* p = room(out, headLen + 2 * std::strlen(name) + 2);
    p = putEnd(putName(putText(p, head, headLen), name));
    out.len = static_cast<size_t>(p - out.buf);
}

// Writes n lines of `head` followed by the i-th values of a, b and, when
// given, c: the point lines and the texture-vertex lines.
void writeFloatLines(Output& out, const char* head, size_t headLen, const float* a,
                     const float* b, const float* c, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        char* p = room(out, headLen + 3 * float_text_max + 4);
        p = formatFloat(putText(p, head, headLen), a[i]);
        *p++ = ' ';
        p = formatFloat(p, b[i]);
        if (c) {
            *p++ = ' ';
            p = formatFloat(p, c[i]);
        }
        p = putEnd(p);
        out.len = static_cast<size_t>(p - out.buf);
    }
}

// Writes the corners of one facet after its "f". The vertex position s runs
// from c1 while s < c1 + nc, the texture position k alongside it from c12.
bool writeCorners(Output& out, const Group& g, const Totals& t, int32_t c1, int32_t nc,
                  int32_t c12, int32_t nc2) {
    const int32_t end = wrapAdd(c1, nc);
    const int32_t end2 = wrapAdd(c12, nc2);
    int32_t k = c12;
    for (int32_t s = c1; s < end; ++s, k = wrapAdd(k, 1)) {
        if (s < 0 || s >= g.nq) return false;
        char* p = room(out, 2 * int_text_max + 2);
        *p++ = ' ';
        p = formatInt(p, wrapAdd(g.pf[s], t.dv));
        out.len = static_cast<size_t>(p - out.buf);
        if (c12 >= 0 && k < end2) {
            if (k < 0 || k >= g.nq2) return false;
            *p++ = '/';
            p = formatInt(p, wrapAdd(g.pt[k], t.dt));
            out.len = static_cast<size_t>(p - out.buf);
        }
    }
    return true;
}

}  // namespace

void writeGroupLine(Output& out, const char* name) { putLine(out, "g ", 2, name); }

bool writeGroupBody(Output& out, const Group& g, Totals& t) {
    writeFloatLines(out, "v ", 2, g.x, g.y, g.z, g.np);
    writeFloatLines(out, "vt ", 3, g.u, g.v, nullptr, g.nt);
    int32_t cm = -1;  // material of the last "usemtl" line of this group
    for (int32_t j = 0; j < g.nf; ++j) {
        const unsigned char* rec = g.fac + size_t(j) * face_size;
        const int32_t mat = faceMat(rec);
        if (mat != cm && mat >= 0 && mat < g.nm) {
            putLine(out, "usemtl ", 7, g.mats + size_t(mat) * material_size);
            cm = mat;
        }
        const int32_t c1 = faceC1(rec), nc = faceNc(rec);
        if (nc > t.Nq) t.Nq = nc;
        int32_t c12 = -1, nc2 = -1;
        if (j < g.nf2) {
            const unsigned char* rec2 = g.fac2 + size_t(j) * face2_size;
            c12 = faceC1(rec2);
            nc2 = faceNc(rec2);
        }
        *room(out, 1) = 'f';
        ++out.len;
        if (!writeCorners(out, g, t, c1, nc, c12, nc2)) return false;
        putEnd(room(out, 2));
        out.len += 2;
    }
    return true;
}

void writeClosing(Output& out, const Totals& t) {
    char* p = room(out, 160);
    p = putText(p, "# File generated by QUARLEN\r\n# NumFacets/MaxNumEdges ", 53);
    p = formatInt(p, t.Nf);
    *p++ = '/';
    p = formatInt(p, t.Nq);
    p = putText(p, "\r\n# NumVerts/NumTVerts/NumVNormals   ", 37);
    p = formatInt(p, wrapAdd(t.dv, -1));
    *p++ = '/';
    p = formatInt(p, wrapAdd(t.dt, -1));
    p = putEnd(putText(p, "/0", 2));
    out.len = static_cast<size_t>(p - out.buf);
}

}  // namespace baseline
