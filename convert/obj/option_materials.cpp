#include "convert/obj/option_materials.h"

#include <cassert>

#include "convert/obj/option_lines.h"

namespace quarlen {

namespace {

void materialWritten(const OutputOptions& o, const Group& g, MaterialLines& m, int32_t slot, CleanCounts& counts) {
    if (o.clean) countFirstWritten(g, slot, m.named, counts);
    if (o.mtl) useMaterialName(m.list, materialName(g, slot).s);
}

}  // namespace

void ChunkMaterials::reset() {
    first = last = no_material_line;
    firstAt = 0;
    lines.clear();
}

void startGroupMaterials(MaterialLines& m, const OutputOptions& o, const Group& g) {
    m.written = -1;
    if (o.clean) m.named.reset(g.nm);
}

bool materialLineBefore(ChunkMaterials& c, int32_t cm, size_t at) {
    if (cm < 0 || cm == c.last) return false;
    const bool first = c.last == no_material_line;
    c.last = cm;
    if (first) {
        c.first = cm;
        c.firstAt = at;
        return false;
    }
    c.lines.push_back(cm);
    return true;
}

void writeFacetChunk(Output& out, const OutputOptions& o, const Group& g, MaterialLines& m, const ChunkMaterials& c,
                     const char* text, size_t len, CleanCounts& counts) {
    assert(c.first == no_material_line || c.firstAt <= len);
    if (c.first == no_material_line) {
        putBytes(out, text, len);
    } else {
        putBytes(out, text, c.firstAt);
        if (c.first != m.written) {
            writeNameLine(out, o, "usemtl ", 7, materialName(g, c.first).s, o.clean || o.mtl, true);
            materialWritten(o, g, m, c.first, counts);
        }
        putBytes(out, text + c.firstAt, len - c.firstAt);
    }
    for (const int32_t slot : c.lines) materialWritten(o, g, m, slot, counts);
    if (c.last != no_material_line) m.written = c.last;
}

}  // namespace quarlen
