// rsr_dump FILE...: what the converter's reader (convert/format/rsr.h) finds, in the
// form tests/python/test_reader.py compares with the Python reader's: "file
// PATH"; for each group read in full "group NAME", "v X Y Z" and "vt U V"
// (coordinate bits), "m NAME" per material slot, "f MAT V... [| T...]" per
// facet (slot in force, vertex and texture index list entries); "end
// finished" or "end failed". Names in hex, "-" for none. A group whose
// facets walk outside an index list ("bad value") prints nothing.
#include <bit>
#include <cstdio>
#include <string>

#include "convert/format/rsr.h"

using namespace quarlen;

namespace {

std::string hex(const char* s) {
    std::string out;
    char b[3];
    for (; *s; ++s) out += (std::snprintf(b, sizeof b, "%02x", unsigned(static_cast<unsigned char>(*s))), b);
    return out.empty() ? "-" : out;
}

void floats(std::string& out, const char* head, float (*at)(const Group&, int32_t, int), const Group& g, int32_t n,
            int width) {
    char b[10];
    for (int32_t i = 0; i < n; ++i) {
        out += head;
        for (int k = 0; k < width; ++k)
            out += (std::snprintf(b, sizeof b, " %08x", std::bit_cast<uint32_t>(at(g, i, k))), b);
        out += "\n";
    }
}

// The group's lines; false when a facet walks outside an index list.
bool dumpGroup(std::string& out, const Group& g) {
    floats(out, "v", pointAt, g, g.np, 3);
    floats(out, "vt", texAt, g, g.nt, 2);
    for (int32_t i = 0; i < g.nm; ++i) out.append("m ").append(hex(materialName(g, i).s)).append("\n");
    int32_t cm = -1;
    for (int32_t j = 0; j < g.nf; ++j) {
        const Face f = faceAt(g, j);
        cm = materialAfter(g, cm, f.mat);
        const CornerWalk w = cornerWalk(f, texFaceAt(g, j));
        std::string v = "f ", t;
        v += std::to_string(cm);
        Corner c;
        for (uint32_t i = 0; i < w.corners; ++i) {
            if (!cornerAt(g, w, i, c)) return false;
            v.append(" ").append(std::to_string(c.v));
            if (c.textured) t.append(" ").append(std::to_string(c.t));
        }
        out.append(v).append(t.empty() ? "" : " |").append(t).append("\n");
    }
    return true;
}

bool dumpFile(Input& in) {
    readHeader(in);
    for (;;) {
        startGroup(in);
        int32_t length;
        char name[max_name_length + 1];
        const GroupStart start = readGroupStart(in, length, name);
        if (start != GroupStart::group) return start == GroupStart::end_marker;
        Group g;
        std::string out = "group ";
        out.append(hex(name)).append("\n");
        if (readGroupBody(in, g).kind != ReadFailure::none || !dumpGroup(out, g)) return false;
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
        std::printf("end %s\n", dumpFile(in) ? "finished" : "failed");
        closeInput(in);
    }
    return 0;
}
