#include "convert/glb/glb_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/options/clean.h"
#include "convert/obj/float_text.h"
#include "convert/glb/json_text.h"
#include "convert/obj/mtl.h"
#include "convert/run/rsr.h"
#include "convert/run/texts.h"

namespace quarlen {

namespace {

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
    std::string name;             // valid UTF-8
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
    ~GlbRun() {
        if (spill.f) std::fclose(spill.f);
    }
};

constexpr size_t spill_block = size_t(1) << 16;

// glTF's numbers for what the accessors and buffer views hold.
constexpr int float_type = 5126, u16_type = 5123, u32_type = 5125;
constexpr int vertex_target = 34962, index_target = 34963;

void flushSpill(GlbSpill& s) {
    if (!s.f || s.bytes.empty()) return;
    if (!s.error && std::fwrite(s.bytes.data(), 1, s.bytes.size(), s.f) != s.bytes.size())
        s.error = errno ? errno : EIO;
    s.bytes.clear();
}

// Appends the 4 bytes of x, lowest first: glTF's data is little-endian.
void spill32(GlbSpill& s, uint32_t x) {
    if (s.f && s.bytes.size() + 4 > spill_block) flushSpill(s);
    const unsigned char b[4] = {static_cast<unsigned char>(x), static_cast<unsigned char>(x >> 8),
                                static_cast<unsigned char>(x >> 16), static_cast<unsigned char>(x >> 24)};
    s.bytes.insert(s.bytes.end(), b, b + 4);
    s.size += 4;
}

void spillFloat(GlbSpill& s, float f) { spill32(s, bitCast<uint32_t>(f)); }

// Index pairs for 16-bit indices; an odd count ends with a 0 of padding.
void spillIndices(GlbSpill& s, const std::vector<uint32_t>& index, bool wide) {
    if (wide) {
        for (const uint32_t i : index) spill32(s, i);
        return;
    }
    for (size_t k = 0; k < index.size(); k += 2)
        spill32(s, index[k] | (k + 1 < index.size() ? index[k + 1] << 16 : 0));
}

// 65535 is the 16-bit restart value, which glTF's indices must not hold.
bool wideIndices(uint32_t vertices) { return vertices > 65535; }

uint64_t hashOf(int32_t build, int32_t point, int32_t texture) {
    const uint64_t pt = uint64_t(uint32_t(point)) << 32 | uint32_t(texture);
    return pt * 0x9E3779B97F4A7C15u ^ uint64_t(uint32_t(build)) * 0xC2B2AE3D27D4EB4Fu;
}

size_t slotOf(const std::vector<GlbVertexSlot>& table, int32_t build, int32_t point, int32_t texture) {
    const size_t mask = table.size() - 1;
    size_t at = size_t(hashOf(build, point, texture) >> 32) & mask;
    while (table[at].build >= 0 &&
           (table[at].build != build || table[at].point != point || table[at].texture != texture))
        at = (at + 1) & mask;
    return at;
}

// An empty table for the group, twice as large as the corners its facets
// state, but no more than its index list could give twice over: it grows
// when more vertices turn up, so that no growth is needed for a usual group
// and a file's large counts cost no memory until they are used.
void resetTable(GlbRun& r, const Group& g) {
    uint64_t corners = 0;
    for (int32_t j = 0; j < g.nf; ++j) corners += uint64_t(std::max(faceAt(g, j).nc, 0));
    corners = std::min(corners, 2 * uint64_t(g.nq));
    size_t want = 1024;
    while (want < 2 * corners) want *= 2;
    if (r.table.size() == want)
        std::fill(r.table.begin(), r.table.end(), GlbVertexSlot{});
    else
        std::vector<GlbVertexSlot>(want).swap(r.table);
    r.tableUsed = 0;
}

void growTable(GlbRun& r) {
    std::vector<GlbVertexSlot> old(r.table.size() * 2);
    old.swap(r.table);
    for (const GlbVertexSlot& s : old)
        if (s.build >= 0) r.table[slotOf(r.table, s.build, s.point, s.texture)] = s;
}

// The vertex of build b for a corner: one per distinct (point, texture
// vertex) pair, numbered in order of first use.
uint32_t vertexOf(GlbRun& r, int32_t b, int32_t point, int32_t texture) {
    size_t at = slotOf(r.table, b, point, texture);
    if (r.table[at].build >= 0) return r.table[at].vertex;
    if (2 * (r.tableUsed + 1) > r.table.size()) {
        growTable(r);
        at = slotOf(r.table, b, point, texture);
    }
    GlbBuild& build = r.builds[size_t(b)];
    const auto vertex = static_cast<uint32_t>(build.point.size());
    build.point.push_back(point);
    build.texture.push_back(texture);
    r.table[at] = {b, point, texture, vertex};
    ++r.tableUsed;
    return vertex;
}

// The glTF material of a group's material slot, made at the first facet
// that uses it: materials with the same stored name are one.
int32_t materialOf(GlbRun& r, const Group& g, int32_t slot) {
    int32_t& known = r.slotMaterial[size_t(slot)];
    if (known != -2) return known;
    const MaterialName stored = materialName(g, slot);
    const auto [at, fresh] = r.materialIndex.emplace(stored.s, int32_t(r.materials.size()));
    if (fresh) {
        GlbMaterial& m = r.materials.emplace_back();
        if (appendUtf8(m.name, stored.s)) ++r.latin1Names;
        m.colour = useMaterialName(r.colours, stored.s);
    }
    return known = at->second;
}

// The build for facets in material slot cm (-1: none), with or without
// texture corners: one per material of the group, and per presence of
// texture corners, since a primitive's vertices all have them or none do.
int32_t buildOf(GlbRun& r, const Group& g, int32_t cm, bool textured) {
    int32_t& known = r.slotBuild[2 * size_t(cm + 1) + textured];
    if (known >= 0) return known;
    const int32_t material = cm < 0 ? -1 : materialOf(r, g, cm);
    for (size_t b = 0; b < r.used; ++b)
        if (r.builds[b].material == material && r.builds[b].textured == textured) return known = int32_t(b);
    if (r.used == r.builds.size()) r.builds.emplace_back();
    GlbBuild& b = r.builds[r.used];
    b.material = material;
    b.textured = textured;
    b.point.clear();
    b.texture.clear();
    b.index.clear();
    return known = int32_t(r.used++);
}

// Sorts the group's triangles into builds.
void buildGroup(GlbRun& r, const Group& g) {
    // A GLB has no points written with 0: only the facets left out count.
    CleanCounts zeroed;
    markNonFinite(g, r.scale, r.badPoint, r.badTex, zeroed);
    Numbering n;
    n.vbase = 0;  // corners as the group's own point and texture numbers
    n.tbase = 0;
    n.badPoint = r.badPoint.data();
    n.badTex = r.badTex.data();
    r.slotMaterial.assign(size_t(g.nm), -2);
    r.slotBuild.assign(2 * (size_t(g.nm) + 1), -1);
    r.used = 0;
    resetTable(r, g);

    int32_t cm = -1;
    Corners& c = r.corners;
    for (int32_t j = 0; j < g.nf; ++j) {
        cm = materialAfter(g, cm, faceAt(g, j).mat);
        if (!cleanFacet(g, j, n, c, r.counts)) continue;
        const bool textured = !c.t.empty();
        const int32_t b = buildOf(r, g, cm, textured);
        for (size_t i = 0; i + 2 < c.v.size(); ++i) {
            size_t at[3];
            fanTriangle(i, at);
            for (const size_t k : at) {
                const uint32_t v = vertexOf(r, b, c.v[k], textured ? c.t[k] : -1);
                r.builds[size_t(b)].index.push_back(v);
            }
        }
    }
}

// Writes one build's vertices and indices to the spill.
GlbPrimitive spillBuild(GlbRun& r, const Group& g, const GlbBuild& b) {
    GlbPrimitive p;
    p.material = b.material;
    p.textured = b.textured;
    p.vertices = static_cast<uint32_t>(b.point.size());
    p.indices = static_cast<uint32_t>(b.index.size());
    p.at = r.spill.size;
    for (size_t v = 0; v < b.point.size(); ++v) {
        float s[3];
        scaledPoint(g, b.point[v], r.scale, s);
        for (int k = 0; k < 3; ++k) {
            if (v == 0 || s[k] < p.min[k]) p.min[k] = s[k];
            if (v == 0 || s[k] > p.max[k]) p.max[k] = s[k];
            spillFloat(r.spill, s[k]);
        }
    }
    // glTF's texture origin is the top-left corner, OBJ's the bottom-left.
    if (b.textured) {
        for (const int32_t t : b.texture) {
            float c[2];
            texturePoint(g, t, c);
            spillFloat(r.spill, c[0]);
            spillFloat(r.spill, 1.0f - c[1]);
        }
    }
    spillIndices(r.spill, b.index, wideIndices(p.vertices));
    return p;
}

GlbNode& addNode(GlbRun& r, const char* name) {
    GlbNode& node = r.nodes.emplace_back();
    if (appendUtf8(node.name, name)) ++r.latin1Names;
    node.first = r.primitives.size();
    return node;
}

// A failed write to the spill is told when the file is written.
void addGroup(GlbRun& r, const char* name, const Group& g) {
    addNode(r, name);
    buildGroup(r, g);
    for (size_t b = 0; b < r.used; ++b) r.primitives.push_back(spillBuild(r, g, r.builds[b]));
    r.nodes.back().count = r.used;
}

// --- the JSON part -------------------------------------------------------

void key(std::string& j, const char* k) {
    j += '"';
    j += k;
    j += "\":";
}

void number(std::string& j, const char* k, uint64_t v) {
    key(j, k);
    putJsonNumber(j, v);
}

void floats(std::string& j, const char* k, const float* v, int n) {
    key(j, k);
    j += '[';
    for (int i = 0; i < n; ++i) {
        if (i) j += ',';
        putJsonNumber(j, double(v[i]));
    }
    j += ']';
}

// An accessor of the view with the same index, its closing brace left to
// the caller.
void accessor(std::string& j, size_t view, int type, uint32_t count, const char* shape) {
    j += j.empty() ? "{" : ",{";
    number(j, "bufferView", view);
    j += ',';
    number(j, "componentType", uint64_t(type));
    j += ',';
    number(j, "count", count);
    j += ",\"type\":\"";
    j += shape;
    j += '"';
}

void bufferView(std::string& j, uint64_t offset, uint64_t length, int target) {
    j += j.empty() ? "{" : ",{";
    number(j, "buffer", 0);
    j += ',';
    number(j, "byteOffset", offset);
    j += ',';
    number(j, "byteLength", length);
    j += ',';
    number(j, "target", uint64_t(target));
    j += '}';
}

// Accessors and buffer views, one view per accessor, in the same order.
void dataParts(const GlbRun& r, std::string& acc, std::string& views) {
    size_t next = 0;
    for (const GlbPrimitive& p : r.primitives) {
        accessor(acc, next++, float_type, p.vertices, "VEC3");
        acc += ',';
        floats(acc, "min", p.min, 3);
        acc += ',';
        floats(acc, "max", p.max, 3);
        acc += '}';
        uint64_t at = p.at;
        bufferView(views, at, 12 * uint64_t(p.vertices), vertex_target);
        at += 12 * uint64_t(p.vertices);
        if (p.textured) {
            accessor(acc, next++, float_type, p.vertices, "VEC2");
            acc += '}';
            bufferView(views, at, 8 * uint64_t(p.vertices), vertex_target);
            at += 8 * uint64_t(p.vertices);
        }
        const bool wide = wideIndices(p.vertices);
        accessor(acc, next++, wide ? u32_type : u16_type, p.indices, "SCALAR");
        acc += '}';
        bufferView(views, at, (wide ? 4 : 2) * uint64_t(p.indices), index_target);
    }
}

void meshes(const GlbRun& r, std::string& j) {
    size_t accessor = 0, mesh = 0;
    for (const GlbNode& n : r.nodes) {
        if (!n.count) continue;
        j += mesh++ ? ",{" : "{";
        key(j, "name");
        putJsonString(j, n.name);
        j += ",\"primitives\":[";
        for (size_t i = n.first; i < n.first + n.count; ++i) {
            const GlbPrimitive& p = r.primitives[i];
            j += i > n.first ? ",{" : "{";
            j += "\"attributes\":{";
            number(j, "POSITION", accessor++);
            if (p.textured) {
                j += ',';
                number(j, "TEXCOORD_0", accessor++);
            }
            j += "},";
            number(j, "indices", accessor++);
            if (p.material >= 0) {
                j += ',';
                number(j, "material", uint64_t(p.material));
            }
            j += '}';
        }
        j += "]}";
    }
}

// Base colours as the numbers the .mtl file's Kd lines give, 8-bit values
// over 255, taken as glTF's linear factors: the colour a reader shows for
// the OBJ with --mtl.
void materials(const GlbRun& r, std::string& j) {
    for (size_t i = 0; i < r.materials.size(); ++i) {
        const GlbMaterial& m = r.materials[i];
        unsigned char rgb[3];
        materialColour(m.colour, rgb);
        j += i ? ",{" : "{";
        key(j, "name");
        putJsonString(j, m.name);
        j += ",\"pbrMetallicRoughness\":{\"baseColorFactor\":[";
        for (const unsigned char c : rgb) {
            putJsonNumber(j, c / 255.0);
            j += ',';
        }
        j += "1],\"metallicFactor\":0,\"roughnessFactor\":1},\"doubleSided\":true}";
    }
}

std::string json(const GlbRun& r) {
    std::string j = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"quarlen\"},\"scene\":0,\"scenes\":[{";
    if (!r.nodes.empty()) {
        j += "\"nodes\":[";
        for (size_t i = 0; i < r.nodes.size(); ++i) {
            if (i) j += ',';
            putJsonNumber(j, uint64_t(i));
        }
        j += ']';
    }
    j += "}]";
    if (!r.nodes.empty()) {
        j += ",\"nodes\":[";
        size_t mesh = 0;
        for (size_t i = 0; i < r.nodes.size(); ++i) {
            j += i ? ",{" : "{";
            key(j, "name");
            putJsonString(j, r.nodes[i].name);
            if (r.nodes[i].count) {
                j += ',';
                number(j, "mesh", mesh++);
            }
            j += '}';
        }
        j += ']';
    }
    if (!r.primitives.empty()) {
        j += ",\"meshes\":[";
        meshes(r, j);
        j += ']';
    }
    if (!r.materials.empty()) {
        j += ",\"materials\":[";
        materials(r, j);
        j += ']';
    }
    if (r.spill.size) {
        std::string acc, views;
        dataParts(r, acc, views);
        j += ",\"accessors\":[" + acc + "],\"bufferViews\":[" + views + "]";
        j += ",\"buffers\":[{";
        number(j, "byteLength", r.spill.size);
        j += "}]";
    }
    return j + '}';
}

void put32(Output& out, uint32_t x) {
    const char b[4] = {static_cast<char>(x), static_cast<char>(x >> 8), static_cast<char>(x >> 16),
                       static_cast<char>(x >> 24)};
    putBytes(out, b, 4);
}

// Copies the spilled data to the output.
bool copySpill(GlbSpill& s, Output& out) {
    if (!s.f) {
        putBytes(out, reinterpret_cast<const char*>(s.bytes.data()), s.bytes.size());
        return true;
    }
    flushSpill(s);
    if (s.error || std::fflush(s.f) != 0) return false;
    std::rewind(s.f);
    std::vector<char> block(output_block);
    for (uint64_t left = s.size; left > 0;) {
        const size_t n = left < block.size() ? size_t(left) : block.size();
        if (std::fread(block.data(), 1, n, s.f) != n) return false;
        putBytes(out, block.data(), n);
        left -= n;
    }
    return true;
}

// Writes the whole file. False, with errno set, when the data cannot be
// read back from the spill or the file would pass the format's 4 GiB.
bool writeFile(GlbRun& r, Output& out) {
    std::string j = json(r);
    while (j.size() % 4) j += ' ';
    const uint64_t total = 12 + 8 + j.size() + (r.spill.size ? 8 + r.spill.size : 0);
    if (total > UINT32_MAX) {
        errno = EFBIG;
        return false;
    }
    putBytes(out, "glTF", 4);
    put32(out, 2);
    put32(out, uint32_t(total));
    put32(out, uint32_t(j.size()));
    putBytes(out, "JSON", 4);
    putBytes(out, j.data(), j.size());
    if (!r.spill.size) return true;
    put32(out, uint32_t(r.spill.size));
    putBytes(out, "BIN\0", 4);
    if (copySpill(r.spill, out)) return true;
    errno = r.spill.error ? r.spill.error : EIO;
    return false;
}

class GlbWriter final : public GroupWriter {
public:
    GlbWriter(Output& out, double scale, bool spillInMemory) : out_(out) {
        r_.scale = scale;
        if (!spillInMemory) r_.spill.f = std::tmpfile();
        if (r_.spill.f) r_.spill.bytes.reserve(spill_block);
    }

    GroupWritten group(const char* name, const Group& g) override {
        addGroup(r_, name, g);
        return GroupWritten::done;
    }

    // The group whose reading failed becomes a node without a mesh, as the
    // OBJ output ends with its "g" line.
    bool finishOutput(const char* failedGroup) override {
        if (failedGroup) addNode(r_, failedGroup);
        return writeFile(r_, out_);
    }

    std::string lastNotice() const override {
        std::string what = describeCounts(r_.counts);
        if (r_.latin1Names) {
            if (!what.empty()) what += ", ";
            what += counted(r_.latin1Names, "name", "names") +
                    " not UTF-8, read as Latin-1";
        }
        return what.empty() ? what : "cleaned: " + what;
    }

private:
    Output& out_;
    GlbRun r_;
};

}  // namespace

std::unique_ptr<GroupWriter> glbWriter(Output& out, double scale, bool spillInMemory) {
    return std::make_unique<GlbWriter>(out, scale, spillInMemory);
}

}  // namespace quarlen
