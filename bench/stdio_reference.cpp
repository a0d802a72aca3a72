#include "bench/stdio_reference.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/format/rsr.h"

using namespace quarlen;

namespace {

int32_t getl(FILE* f) {
    unsigned char b[4] = {};
    std::fread(b, 1, 4, f);
    return static_cast<int32_t>(be32(b));
}

float getf(FILE* f) { return Float(static_cast<uint32_t>(getl(f))); }

void putFloat(FILE* o, const char* lead, float v) {
    if (std::isinf(v) || std::isnan(v))
        std::fprintf(o, "%s%c%s", lead, std::signbit(v) ? '-' : '+', std::isinf(v) ? "INF" : "NAN");
    else
        std::fprintf(o, "%s%g", lead, static_cast<double>(v));
}

int32_t add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

template <class T>
T* take(int32_t n, size_t size) {
    return n > 0 ? static_cast<T*>(std::malloc(size_t(n) * size)) : nullptr;
}

}  // namespace

bool stdioConvert(const char* file, const char* File, bool flushEachStep) {
    FILE* in = std::fopen(file, "rb");
    if (!in) return false;
    FILE* o = std::fopen(File, "wb");
    if (!o) {
        std::fclose(in);
        return false;
    }
    auto step = [&] {
        if (flushEachStep) std::fflush(o);
    };
    char header[268];
    std::fread(header, 1, sizeof header, in);
    int32_t dv = 1, dt = 1, Nf = 0, Nq = 0;
    bool ok = true;
    for (;;) {
        const int32_t len = getl(in);
        if (std::feof(in) || len < 0 || len > 256) {
            ok = false;
            break;
        }
        if (len == 0) break;
        char name[257] = {};
        std::fread(name, 1, size_t(len), in);
        std::fprintf(o, "g %s\r\n", name);
        const int32_t np = getl(in);
        float *x = take<float>(np, 4), *y = take<float>(np, 4), *z = take<float>(np, 4);
        for (int32_t i = 0; i < np; ++i) {
            x[i] = getf(in);
            y[i] = getf(in);
            z[i] = getf(in);
        }
        const int32_t nq = getl(in);
        int32_t* pf = take<int32_t>(nq, 4);
        for (int32_t i = 0; i < nq; ++i) pf[i] = getl(in);
        const int32_t nf = getl(in);
        auto* fac = take<unsigned char>(nf, face_size);
        if (nf > 0) std::fread(fac, face_size, size_t(nf), in);
        const int32_t texq = getl(in);
        const int32_t nt = texq ? getl(in) : 0;
        float *u = take<float>(nt, 4), *v = take<float>(nt, 4);
        for (int32_t i = 0; i < nt; ++i) {
            u[i] = getf(in);
            v[i] = getf(in);
        }
        const int32_t nq2 = texq ? getl(in) : 0;
        int32_t* pt = take<int32_t>(nq2, 4);
        for (int32_t i = 0; i < nq2; ++i) pt[i] = getl(in);
        const int32_t nf2 = texq ? getl(in) : 0;
        auto* fac2 = take<unsigned char>(nf2, face2_size);
        if (nf2 > 0) std::fread(fac2, face2_size, size_t(nf2), in);
        const int32_t nm = getl(in);
        char* mats = take<char>(nm, material_size);
        for (int32_t i = 0; i < nm; ++i) {
            std::fread(mats + i * material_size, 1, material_size, in);
            mats[i * material_size + material_size - 1] = 0;
        }
        ok = !std::feof(in);

        for (int32_t i = 0; ok && i < np; ++i) {
            putFloat(o, "v ", x[i]);
            putFloat(o, " ", y[i]);
            putFloat(o, " ", z[i]);
            std::fputs("\r\n", o);
        }
        step();
        for (int32_t i = 0; ok && i < nt; ++i) {
            putFloat(o, "vt ", u[i]);
            putFloat(o, " ", v[i]);
            std::fputs("\r\n", o);
        }
        step();
        int32_t cm = -1;
        for (int32_t j = 0; ok && j < nf; ++j) {
            const unsigned char* rec = fac + size_t(j) * face_size;
            const auto mat = static_cast<int16_t>(rec[13] | (rec[14] << 8));
            if (mat != cm && mat >= 0 && mat < nm) {
                std::fprintf(o, "usemtl %s\r\n", mats + mat * material_size);
                cm = mat;
            }
            step();
            const auto c1 = static_cast<int32_t>(be32(rec)), nc = static_cast<int32_t>(be32(rec + 4));
            if (nc > Nq) Nq = nc;
            int32_t c12 = -1, nc2 = -1;
            if (j < nf2) {
                c12 = static_cast<int32_t>(be32(fac2 + size_t(j) * face2_size));
                nc2 = static_cast<int32_t>(be32(fac2 + size_t(j) * face2_size + 4));
            }
            std::fputs("f", o);
            step();
            int32_t k = c12;
            for (int32_t s = c1; s < add(c1, nc); ++s, k = add(k, 1)) {
                if (s < 0 || s >= nq) {
                    ok = false;
                    break;
                }
                std::fprintf(o, " %ld", static_cast<long>(add(pf[s], dv)));
                step();
                if (c12 >= 0 && k < add(c12, nc2) && k >= 0 && k < nq2)
                    std::fprintf(o, "/%ld", static_cast<long>(add(pt[k], dt)));
                step();
            }
            std::fputs("\r\n", o);
            step();
        }
        void* arrays[] = {x, y, z, pf, fac, u, v, pt, fac2, mats};
        for (void* p : arrays) std::free(p);
        if (!ok) break;
        dv = add(dv, np);
        dt = add(dt, nt);
        Nf = add(Nf, nf);
        std::fflush(o);
    }
    if (ok)
        std::fprintf(o,
                     "# File generated by QUARLEN\r\n# NumFacets/MaxNumEdges %d/%d\r\n"
                     "# NumVerts/NumTVerts/NumVNormals   %d/%d/0\r\n",
                     Nf, Nq, add(dv, -1), add(dt, -1));
    std::fclose(in);
    std::fclose(o);
    return ok;
}
