// The material lines of the OBJ writer. A "usemtl" line goes before a
// facet that is written under a material other than the last line's, and
// only then: a facet that clean leaves out writes none. Each line's
// material is written (options/materials_written.h) as the line is
// written, in the order the lines are written.
//
// Chunks of facets are formatted apart, so a chunk cannot know the last
// line before it: its first material line waits, and is written with the
// chunk only when its material differs from the one in force by then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/options/materials_written.h"
#include "convert/options/output_options.h"
#include "convert/format/output.h"
#include "convert/format/rsr.h"

namespace quarlen {

inline constexpr int32_t no_material_line = INT32_MIN;

// The writer's material lines across chunks.
struct MaterialLines {
    int32_t written = -1;     // the material of the group's last "usemtl" line
    MaterialsWritten run;     // the materials written, their names counted and listed
};

// The material decisions of one chunk, made while it is formatted.
struct ChunkMaterials {
    int32_t first = no_material_line;  // the material of its first decision, whose line waits
    size_t firstAt = 0;                // where in the chunk's text that line goes
    int32_t last = no_material_line;   // the material of its last decision
    std::vector<int32_t> lines;        // the materials of the lines it wrote, after the first
    // Decisions that follow the line last written need not wait: `last`
    // starts at its material (no_material_line: they wait).
    void reset(int32_t lastWritten = no_material_line);
};

void startGroupMaterials(MaterialLines& m, const Group& g);

// A facet is written under material cm at offset `at` of its chunk's text.
// True when a "usemtl" line for cm goes there now; the chunk's first
// decision instead waits, and is noted.
bool materialDecision(ChunkMaterials& c, int32_t cm, size_t at);
inline bool materialLineBefore(ChunkMaterials& c, int32_t cm, size_t at) {
    return cm >= 0 && cm != c.last && materialDecision(c, cm, at);
}

// Writes a chunk of facet lines, text[0, len), with its waiting material
// line, and settles what its material lines mean.
void writeFacetChunk(Output& out, const OutputOptions& o, const Group& g, MaterialLines& m, const ChunkMaterials& c,
                     const char* text, size_t len);

}  // namespace quarlen
