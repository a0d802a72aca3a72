// Writing a binary glTF 2.0 file (.glb) instead of OBJ text: one node and
// one mesh per group, one primitive per material (and per presence of
// texture corners) in the group, triangles as --clean --triangulate make
// them, coordinates scaled into metres.
//
// The file's JSON part comes first and must give every accessor's place and
// bounds, so each group's binary data goes to a spill (a temporary file, or
// memory where there is none) as the group is read, with only its small
// description kept; finishGlb writes the header, the JSON part and the
// spilled data. Memory stays bounded by the largest group.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/clean.h"
#include "convert/mtl.h"
#include "convert/obj_writer.h"

// Since Poser 6 one Poser native unit is 8.6 feet.
inline constexpr double poser_unit_metres = 2.62128;

// The binary data written so far: a temporary file, or bytes in memory.
struct GlbSpill {
    FILE* f = nullptr;
    std::vector<unsigned char> bytes;  // all data in memory, or the file's write buffer
    uint64_t size = 0;                 // bytes spilled
    int error = 0;                     // errno of the first failed write
};

struct GlbPrimitive {
    int32_t material = -1;  // index into the materials, -1: none (glTF's default material)
    bool textured = false;  // has TEXCOORD_0
    uint32_t vertices = 0, indices = 0;
    uint64_t at = 0;        // offset of its positions in the data; texture coordinates, then indices follow
    float min[3] = {}, max[3] = {};
};

struct GlbNode {
    std::string name;         // valid UTF-8
    size_t first = 0, count = 0;  // its primitives; none: a node without a mesh
};

struct GlbMaterial {
    std::string name;  // valid UTF-8
    size_t colour;     // the index materialColour takes
};

// One group's facets sorted into primitives; kept from group to group so
// that their memory is reused.
struct GlbBuild {
    int32_t material = -1;
    bool textured = false;
    std::vector<int32_t> point, texture;  // each vertex's point and texture vertex (-1: none)
    std::vector<uint32_t> index;          // three vertices per triangle
};

// A slot of the table that numbers a group's vertices: the distinct
// (build, point, texture vertex) triples its triangles use.
struct GlbVertexSlot {
    int32_t build = -1;  // -1: empty
    int32_t point = 0, texture = 0;
    uint32_t vertex = 0;
};

// Everything one GLB run keeps; nothing is shared between runs.
struct GlbRun {
    double scale = poser_unit_metres;
    GlbSpill spill;
    std::vector<GlbNode> nodes;
    std::vector<GlbPrimitive> primitives;
    std::vector<GlbMaterial> materials;
    std::unordered_map<std::string, int32_t> materialIndex;  // stored name -> materials index
    MaterialList colours;  // names as --mtl writes them, for their colours
    CleanCounts counts;
    int64_t latin1Names = 0;  // names with bytes read as Latin-1
    // Per group:
    std::vector<unsigned char> badPoint, badTex;
    std::vector<int32_t> slotMaterial;  // materials index of each slot, -2: not yet known
    std::vector<int32_t> slotBuild;     // builds index of each (slot, textured), -1: none yet
    std::vector<GlbBuild> builds;
    size_t used = 0;                    // builds in use by this group
    std::vector<GlbVertexSlot> table;
    size_t tableUsed = 0;
    Corners corners;

    GlbRun() = default;
    GlbRun(const GlbRun&) = delete;
    GlbRun& operator=(const GlbRun&) = delete;
    ~GlbRun();
};

// The scale a GLB takes: the one asked for, else Poser units to metres.
double glbScale(double scale, bool scaleGiven);

// Sets up the run; inMemory keeps the data in memory rather than in a
// temporary file, which is also where it goes when no temporary file can
// be made.
void startGlb(GlbRun& r, double scale, bool inMemory = false);

enum class GlbAdded { done, no_memory, spill_failed };

// Adds a group read in full: its node, and its mesh unless no facet is left.
GlbAdded addGlbGroup(GlbRun& r, const char* name, const Group& g);

// Adds the node of a group whose reading failed, without a mesh, as the OBJ
// output ends with the failing group's "g" line.
void addGlbFailedGroup(GlbRun& r, const char* name);

// Writes the whole file. False when the data cannot be read back from the
// spill or the file would pass the format's 4 GiB; errno then says why.
// Write errors are the output's (out.error).
bool finishGlb(GlbRun& r, Output& out);

// "cleaned: ..." for what the file leaves out or changes; empty when
// nothing.
std::string glbNotice(const GlbRun& r);
