#include "convert/obj/material_lines.h"

#include <cassert>

#include "convert/obj/option_lines.h"

namespace quarlen {

void ChunkMaterials::reset(int32_t lastWritten) {
    first = no_material_line;
    last = lastWritten;
    firstAt = 0;
    lines.clear();
}

void startGroupMaterials(MaterialLines& m, const Group& g) {
    m.written = -1;
    startGroupMaterials(m.run, g);
}

bool materialDecision(ChunkMaterials& c, int32_t cm, size_t at) {
    assert(cm >= 0 && cm != c.last);
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
                     const char* text, size_t len) {
    assert(c.first == no_material_line || c.firstAt <= len);
    if (c.first == no_material_line) {
        putBytes(out, text, len);
    } else {
        putBytes(out, text, c.firstAt);
        if (c.first != m.written) {
            writeNameLine(out, o, NameLine::material, materialName(g, c.first).s);
            materialWritten(m.run, g, c.first);
        }
        putBytes(out, text + c.firstAt, len - c.firstAt);
    }
    for (const int32_t slot : c.lines) materialWritten(m.run, g, slot);
    if (c.last != no_material_line) m.written = c.last;
}

}  // namespace quarlen
