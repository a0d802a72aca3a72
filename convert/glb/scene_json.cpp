#include "convert/glb/scene_json.h"

#include <cassert>

#include "convert/glb/json_text.h"
#include "convert/options/material_colours.h"

namespace quarlen {

namespace {

// glTF's numbers for what the accessors and buffer views hold.
constexpr int float_type = 5126, u16_type = 5123, u32_type = 5125;
constexpr int vertex_target = 34962, index_target = 34963;

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
void dataParts(const GlbScene& s, std::string& acc, std::string& views) {
    size_t next = 0;
    [[maybe_unused]] uint64_t end = 0;  // where the data of the primitives so far ends
    for (const GlbPrimitive& p : s.primitives) {
        const GlbLayout l = layoutOf(p);
        assert(p.at == end && "each primitive's data follows the one before");
        accessor(acc, next++, float_type, p.vertices, "VEC3");
        acc += ',';
        floats(acc, "min", p.min, 3);
        acc += ',';
        floats(acc, "max", p.max, 3);
        acc += '}';
        bufferView(views, l.positions, l.positionBytes, vertex_target);
        if (p.textured) {
            accessor(acc, next++, float_type, p.vertices, "VEC2");
            acc += '}';
            bufferView(views, l.texcoords, l.texcoordBytes, vertex_target);
        }
        accessor(acc, next++, wideIndices(p.vertices) ? u32_type : u16_type, p.indices, "SCALAR");
        acc += '}';
        bufferView(views, l.indices, l.indexBytes, index_target);
        end = l.end;
    }
    assert(end == s.binarySize && "the binary chunk holds the primitives' data and nothing else");
}

void meshes(const GlbScene& s, std::string& j) {
    size_t accessor = 0, mesh = 0;
    for (const GlbNode& n : s.nodes) {
        if (!n.count) continue;
        assert(n.first + n.count <= s.primitives.size());
        j += mesh++ ? ",{" : "{";
        key(j, "name");
        putJsonString(j, n.name);
        j += ",\"primitives\":[";
        for (size_t i = n.first; i < n.first + n.count; ++i) {
            const GlbPrimitive& p = s.primitives[i];
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
                assert(size_t(p.material) < s.materials.size());
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
void materials(const GlbScene& s, std::string& j) {
    for (size_t i = 0; i < s.materials.size(); ++i) {
        const GlbMaterial& m = s.materials[i];
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

void nodes(const GlbScene& s, std::string& j) {
    size_t mesh = 0;
    for (size_t i = 0; i < s.nodes.size(); ++i) {
        j += i ? ",{" : "{";
        key(j, "name");
        putJsonString(j, s.nodes[i].name);
        if (s.nodes[i].count) {
            j += ',';
            number(j, "mesh", mesh++);
        }
        j += '}';
    }
}

}  // namespace

std::string sceneJson(const GlbScene& s) {
    assert(s.primitives.empty() == (s.binarySize == 0) && "every primitive has a triangle");
    std::string j = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"quarlen\"},\"scene\":0,\"scenes\":[{";
    if (!s.nodes.empty()) {
        j += "\"nodes\":[";
        for (size_t i = 0; i < s.nodes.size(); ++i) {
            if (i) j += ',';
            putJsonNumber(j, uint64_t(i));
        }
        j += ']';
    }
    j += "}]";
    if (!s.nodes.empty()) {
        j += ",\"nodes\":[";
        nodes(s, j);
        j += ']';
    }
    if (!s.primitives.empty()) {
        j += ",\"meshes\":[";
        meshes(s, j);
        j += ']';
    }
    if (!s.materials.empty()) {
        j += ",\"materials\":[";
        materials(s, j);
        j += ']';
    }
    if (s.binarySize) {
        std::string acc, views;
        dataParts(s, acc, views);
        j += ",\"accessors\":[" + acc + "],\"bufferViews\":[" + views + "]";
        j += ",\"buffers\":[{";
        number(j, "byteLength", s.binarySize);
        j += "}]";
    }
    return j + '}';
}

}  // namespace quarlen
