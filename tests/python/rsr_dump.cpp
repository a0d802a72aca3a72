// rsr_dump FILE...: prints what the converter's reader (convert/rsr.h) finds
// in each file, in a form tests/python/test_reader.py compares with the
// Python reader's, bit for bit:
//   file PATH
//   group NAME_HEX              then, for each group read in full:
//   v X Y Z                     each point's coordinate bits, 8 hex digits each
//   vt U V                      each texture vertex's
//   m NAME_HEX                  each material slot's name
//   f MAT V... [| T...]         each facet: the slot in force (-1 none), the
//                               vertex index list entries of its corners and
//                               the texture index list entries of its
//                               texture corners
//   end finished|failed
// A group whose facets walk outside an index list fails ("bad value") and
// prints nothing.
#include <bit>
#include <cstdio>
#include <string>

#include "convert/rsr.h"

namespace {

void hexName(std::string& out, const char* s) {
    char b[3];
    for (; *s; ++s) {
        std::snprintf(b, sizeof b, "%02x", unsigned(static_cast<unsigned char>(*s)));
        out += b;
    }
    if (out.back() == ' ') out += '-';  // an empty name
}

void bits(std::string& out, float f) {
    char b[10];
    std::snprintf(b, sizeof b, " %08x", std::bit_cast<uint32_t>(f));
    out += b;
}

// The group's lines; false when a facet walks outside an index list.
bool dumpGroup(std::string& out, const Group& g) {
    for (int32_t i = 0; i < g.np; ++i) {
        out += "v";
        for (int k = 0; k < 3; ++k) bits(out, pointAt(g, i, k));
        out += "\n";
    }
    for (int32_t i = 0; i < g.nt; ++i) {
        out += "vt";
        for (int k = 0; k < 2; ++k) bits(out, texAt(g, i, k));
        out += "\n";
    }
    for (int32_t i = 0; i < g.nm; ++i) {
        out += "m ";
        hexName(out, materialName(g, i).s);
        out += "\n";
    }
    int32_t cm = -1;
    for (int32_t j = 0; j < g.nf; ++j) {
        const Face f = faceAt(g, j);
        cm = materialAfter(g, cm, f.mat);
        const CornerWalk w = cornerWalk(f, texFaceAt(g, j));
        std::string v = "f " + std::to_string(cm), t;
        for (uint32_t i = 0; i < w.corners; ++i) {
            Corner c;
            if (!cornerAt(g, w, i, c)) return false;
            v += " " + std::to_string(c.v);
            if (c.textured) t += " " + std::to_string(c.t);
        }
        out += v + (t.empty() ? "" : " |" + t) + "\n";
    }
    return true;
}

// Every group read in full, then whether the file finished.
bool dumpFile(Input& in) {
    readHeader(in);
    for (;;) {
        startGroup(in);
        int32_t length;
        char name[max_name_length + 1];
        const GroupStart start = readGroupStart(in, length, name);
        if (start == GroupStart::end_marker) return true;
        if (start != GroupStart::group) return false;
        Group g;
        if (readGroupBody(in, g).kind != ReadFailure::none) return false;
        std::string out = "group ";
        hexName(out, name);
        out += "\n";
        if (!dumpGroup(out, g)) return false;
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a) {
        Input in;
        if (!openInput(in, argv[a])) {
            std::perror(argv[a]);
            return 1;
        }
        std::printf("file %s\n", argv[a]);
        const bool finished = dumpFile(in);
        std::printf("end %s\n", finished ? "finished" : "failed");
        closeInput(in);
    }
    return 0;
}
