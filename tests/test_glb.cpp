// The GLB writer read back as a reader reads it (a small parser of the JSON
// and binary chunks below): its primitives, materials, index width and
// texture coordinates; and every kind of byte sequence in a name. Readers
// written elsewhere check the same files in tests/readers/check_glb.py.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "convert/glb/glb_writer.h"
#include "convert/glb/json_text.h"
#include "convert/glb/vertex_table.h"
#include "tests/cli_run.h"

using namespace quarlen;

namespace {

TEST(Glb, NamesBecomeUtf8JsonStrings) {
    const struct {
        const char* stored;
        const char* json;
        bool latin1;
    } cases[] = {
        {"plain", "\"plain\"", false},
        {"r\xc3\xb6of \xe2\x82\xac \xf0\x9f\x98\x80", "\"r\xc3\xb6of \xe2\x82\xac \xf0\x9f\x98\x80\"", false},
        {"r\xf6of", "\"r\xc3\xb6of\"", true},
        {"\xc0\x80", "\"\xc3\x80\xc2\x80\"", true},                     // overlong
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xc2\x80\"", true},         // a surrogate
        {"\xf4\x90\x80\x80", "\"\xc3\xb4\xc2\x90\xc2\x80\xc2\x80\"", true},  // above U+10FFFF
        {"\xe2\x82", "\"\xc3\xa2\xc2\x82\"", true},                     // cut short
        {"a\"b\\c\n\x01\x1f\x7f", "\"a\\\"b\\\\c\\u000a\\u0001\\u001f\x7f\"", false},
    };
    for (const auto& c : cases) {
        std::string utf8, json;
        EXPECT_EQ(appendUtf8(utf8, c.stored), c.latin1) << c.stored;
        putJsonString(json, utf8);
        EXPECT_EQ(json, c.json) << c.stored;
    }
}

// --- reading a GLB ------------------------------------------------------------

// A JSON value: as much of JSON as the writer's JSON chunk uses, strings
// without escapes.
struct Json {
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;
    const Json& operator[](size_t i) const { return items.at(i); }
    const Json& operator[](const std::string& k) const { return members.at(k); }
    size_t at(const std::string& k) const { return size_t(members.at(k).number); }
};

Json parseJson(const char*& p) {
    Json v;
    while (*p == ' ' || *p == ',' || *p == ':') ++p;
    if (*p == '{' || *p == '[') {
        for (const char close = *p++ == '{' ? '}' : ']'; *p != close; p += *p == ',') {
            if (close == ']') {
                v.items.push_back(parseJson(p));
                continue;
            }
            const std::string key = parseJson(p).text;
            v.members[key] = parseJson(p);
        }
        ++p;
    } else if (*p == '"') {
        while (*++p != '"') v.text += *p;
        ++p;
    } else if (std::isalpha(static_cast<unsigned char>(*p))) {
        while (std::isalpha(static_cast<unsigned char>(*p))) ++p;  // true, false, null
    } else {
        char* end;
        v.number = std::strtod(p, &end);
        p = end;
    }
    return v;
}

// A primitive's data as a reader finds it.
struct ReadPrimitive {
    std::string material;  // its name, empty for none
    std::vector<float> position, texcoord;  // three and two a vertex
    std::vector<uint32_t> index;
    int indexType = 0;  // componentType
};

// The little-endian number of `bytes` bytes at b[at].
uint32_t le(const std::string& b, size_t at, int bytes = 4) {
    uint32_t x = 0;
    for (int i = bytes - 1; i >= 0; --i) x = x << 8 | static_cast<unsigned char>(b.at(at + size_t(i)));
    return x;
}

// The values of accessor a, each on a multiple of its size in the data.
template <class T>
std::vector<T> values(const Json& doc, const std::string& bin, const Json& a) {
    const Json& view = doc["bufferViews"][a.at("bufferView")];
    const size_t n = a.at("count") * (a["type"].text == "VEC3" ? 3 : a["type"].text == "VEC2" ? 2 : 1);
    const int size = a["componentType"].number == 5123 ? 2 : 4;
    EXPECT_EQ(view.at("byteLength"), n * size);
    EXPECT_EQ(view.at("byteOffset") % size, 0u);
    EXPECT_EQ(view.at("target"), a["type"].text == "SCALAR" ? 34963u : 34962u);
    std::vector<T> out(n);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t x = le(bin, view.at("byteOffset") + i * size, size);
        if constexpr (std::is_same_v<T, float>) std::memcpy(&out[i], &x, 4);
        else out[i] = x;
    }
    return out;
}

// The JSON part, and each node's primitives by the node's name.
std::pair<Json, std::map<std::string, std::vector<ReadPrimitive>>> readGlb(const std::string& b) {
    EXPECT_EQ(b.substr(0, 4) + b.substr(16, 4), "glTFJSON");
    EXPECT_EQ(le(b, 4), 2u);
    EXPECT_EQ(le(b, 8), b.size());
    const uint32_t jsonBytes = le(b, 12);
    EXPECT_EQ(jsonBytes % 4, 0u);
    const std::string json = b.substr(20, jsonBytes);
    const char* p = json.c_str();
    const Json doc = parseJson(p);
    std::string bin;
    if (b.size() > 20 + jsonBytes) {
        EXPECT_EQ(b.substr(24 + jsonBytes, 4), std::string("BIN\0", 4));
        bin = b.substr(28 + jsonBytes, le(b, 20 + jsonBytes));
        EXPECT_EQ(28 + jsonBytes + bin.size(), b.size());
    }
    std::map<std::string, std::vector<ReadPrimitive>> nodes;
    for (const Json& node : doc["nodes"].items) {
        std::vector<ReadPrimitive>& read = nodes[node["name"].text];
        if (!node.members.count("mesh")) continue;
        for (const Json& m : doc["meshes"][node.at("mesh")]["primitives"].items) {
            ReadPrimitive& q = read.emplace_back();
            if (m.members.count("material")) q.material = doc["materials"][m.at("material")]["name"].text;
            const Json& a = m["attributes"];
            const Json& at = doc["accessors"][a.at("POSITION")];
            q.position = values<float>(doc, bin, at);
            // The bounds readers take on trust: the positions' own, each
            // number reading back as the same float.
            for (size_t k = 0; k < 3; ++k) {
                float lo = q.position.at(k), hi = lo;
                for (size_t v = k; v < q.position.size(); v += 3) lo = std::min(lo, q.position[v]), hi = std::max(hi, q.position[v]);
                EXPECT_EQ(at["min"][k].number, double(lo)) << k;
                EXPECT_EQ(at["max"][k].number, double(hi)) << k;
            }
            if (a.members.count("TEXCOORD_0")) q.texcoord = values<float>(doc, bin, doc["accessors"][a.at("TEXCOORD_0")]);
            q.index = values<uint32_t>(doc, bin, doc["accessors"][m.at("indices")]);
            q.indexType = int(doc["accessors"][m.at("indices")]["componentType"].number);
        }
    }
    return {doc, nodes};
}

const OutputOptions glb_scale_1{.scale = 1.0, .glb = true};

// --- what the file holds -------------------------------------------------------

// A corner as the test states it: a point and a texture vertex (-1: none).
using Corner2 = std::pair<int32_t, int32_t>;

struct PrimitiveCase {
    std::string material;
    std::vector<Corner2> triangles;  // three corners each
};

// Checks that p holds exactly the triangles stated, each corner's position
// the point's, its texture coordinate the texture vertex's with V turned
// upside down (glTF's origin is the top-left corner, OBJ's the
// bottom-left), and one vertex per distinct corner.
void expectPrimitive(const ReadPrimitive& p, const PrimitiveCase& want, const GroupSpec& g) {
    EXPECT_EQ(p.material, want.material);
    const bool textured = want.triangles[0].second >= 0;
    EXPECT_EQ(p.texcoord.empty(), !textured);
    EXPECT_EQ(p.position.size() / 3, std::set<Corner2>(want.triangles.begin(), want.triangles.end()).size());
    ASSERT_EQ(p.index.size(), want.triangles.size());
    size_t wrong = 0;  // corners whose vertex is not their point and texture vertex
    for (size_t i = 0; i < p.index.size(); ++i) {
        const auto [point, tex] = want.triangles[i];
        const uint32_t v = p.index[i];
        bool same = true;
        for (size_t k = 0; k < 3; ++k) same = same && p.position.at(3 * v + k) == g.xyz[3 * size_t(point) + k];
        if (textured)
            same = same && p.texcoord.at(2 * v) == g.uv[2 * size_t(tex)] &&
                   p.texcoord.at(2 * v + 1) == 1.0f - g.uv[2 * size_t(tex) + 1];
        wrong += !same;
    }
    EXPECT_EQ(wrong, 0u);
}

// Six points and, with texture facets, six texture vertices.
GroupSpec sixPoints(const std::string& name, std::vector<int32_t> pf, std::vector<Facet> faces,
                    std::vector<TexFacet> faces2, std::vector<std::string> mats) {
    GroupSpec g{.name = name, .pf = pf, .faces = faces, .mats = mats};
    for (int i = 0; i < 6; ++i) g.xyz.insert(g.xyz.end(), {float(i), float(i * i) / 4, -float(i)});
    if (faces2.empty()) return g;
    g.texq = 1;
    for (int i = 0; i < 6; ++i) g.uv.insert(g.uv.end(), {float(i) / 8, float(i) / 16});
    g.pt = {0, 1, 2, 3, 4, 5, 1, 5};
    g.faces2 = faces2;
    return g;
}

TEST(Glb, PrimitivesPerMaterialAndTextureState) {
    const struct {
        GroupSpec group;
        std::vector<PrimitiveCase> primitives;
    } cases[] = {
        // A quad fanned from its first corner: 4 corners, 4 vertices.
        {sixPoints("fan", {0, 1, 2, 3}, {{0, 4, 0}}, {{0, 4}}, {"red"}),
         {{"red", {{0, 0}, {1, 1}, {2, 2}, {0, 0}, {2, 2}, {3, 3}}}}},
        // A primitive per material in force and texture state, in order of
        // first use: a number outside the names keeps the material in force
        // (none before the first); two slots of one name are one material;
        // one point with two texture vertices is two vertices; texture
        // corners for some corners only are dropped.
        {sixPoints("switching", {0, 1, 2, 3, 4, 5, 1, 5, 0},
                   {{0, 3, 9}, {3, 3, 1}, {0, 3, 7}, {6, 3, 2}, {3, 3, 1}, {0, 3, 0}},
                   {{0, 0}, {3, 3}, {0, 0}, {0, 0}, {5, 3}, {6, 2}}, {"red", "blue", "red"}),
         {{"", {{0, -1}, {1, -1}, {2, -1}}},
          {"blue", {{3, 3}, {4, 4}, {5, 5}, {3, 5}, {4, 1}, {5, 5}}},
          {"blue", {{0, -1}, {1, -1}, {2, -1}}},
          {"red", {{1, -1}, {5, -1}, {0, -1}, {0, -1}, {1, -1}, {2, -1}}}}},
        // Repeated corners merged; too few corners, a point outside the
        // group's: left out.
        {sixPoints("cleaned", {0, 1, 1, 2, 3, 4, 3, 9}, {{0, 4, 0}, {4, 2, 0}, {5, 3, 0}}, {}, {}),
         {{"", {{0, -1}, {1, -1}, {2, -1}}}}},
        // A material no facet is written with makes none.
        {sixPoints("empty", {}, {}, {}, {"unused"}), {}},
    };
    std::vector<GroupSpec> groups;
    for (const auto& c : cases) groups.push_back(c.group);
    const auto [doc, nodes] = readGlb(convertBytes(buildRsr(groups), &glb_scale_1).obj);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group.name);
        const std::vector<ReadPrimitive>& read = nodes.at(c.group.name);
        ASSERT_EQ(read.size(), c.primitives.size());
        for (size_t i = 0; i < read.size(); ++i) expectPrimitive(read[i], c.primitives[i], c.group);
    }

    // Each material once, in order of first use. (Its colour, the Kd line of
    // --mtl: tests/readers/check_glb.py, which ctest runs.)
    std::vector<std::string> names;
    for (const Json& m : doc["materials"].items) names.push_back(m["name"].text);
    EXPECT_EQ(names, (std::vector<std::string>{"red", "blue"}));
}

TEST(Glb, MetresUnlessScaleGivesTheFactor) {
    // As the console program is called, the output's name alone asking for
    // a GLB in the first case; the bounds then have many digits.
    const GroupSpec g = sixPoints("s", {0, 1, 2, 5, 4, 3}, {{0, 3, 0}, {3, 3, 0}}, {}, {});
    const std::string in = tempPath(".rsr"), out = tempPath(".gLB");
    writeFile(in, buildRsr({g}));
    const std::pair<std::string, double> cases[] = {{"", 2.62128}, {"--scale 3 ", 3}, {"--scale=0.1 --glb ", 0.1}};
    for (const auto& [args, scale] : cases) {
        ASSERT_EQ(run(args + quoted(in) + " " + quoted(out)).status, 0) << args;
        const ReadPrimitive p = readGlb(readFile(out)).second.at("s").at(0);
        ASSERT_EQ(p.index.size(), 6u) << args;
        for (size_t c = 0; c < 6; ++c)
            for (size_t k = 0; k < 3; ++k)
                EXPECT_EQ(p.position.at(3 * p.index[c] + k), float(double(g.xyz[3 * size_t(g.pf[c]) + k]) * scale)) << args;
    }
}

// One group of n points in triangles (0 1 2) (3 4 5) ..., the last one
// ending on the last point, written `copies` times, each copy with texture
// vertices of its own: n * copies vertices. Point and texture vertex i
// have first coordinate i.
GroupSpec strip(int32_t n, int32_t copies) {
    GroupSpec g{.name = "g", .texq = 1};
    for (int32_t i = 0; i < n; ++i) g.xyz.insert(g.xyz.end(), {float(i), 1, 2});
    for (int32_t i = 0; i < n; i += 3) {
        const int32_t first = i + 3 <= n ? i : n - 3;
        g.pf.insert(g.pf.end(), {first, first + 1, first + 2});
    }
    for (int32_t c = 0; c < copies; ++c) {
        for (int32_t i = 0; i < n; ++i) g.uv.insert(g.uv.end(), {float(c * n + i), 0});
        for (size_t k = 0; k < g.pf.size(); k += 3) {
            g.faces.push_back({int32_t(k), 3, 0});
            g.faces2.push_back({int32_t(g.pt.size()), 3});
            for (size_t i = k; i < k + 3; ++i) g.pt.push_back(c * n + g.pf[i]);
        }
    }
    return g;
}

TEST(Glb, IndexWidthFollowsTheVertexCount) {
    // 65535 vertices take 16-bit indices; one more, 32-bit ones, since
    // 65535 itself is the restart value no index may hold. Vertices count,
    // not points.
    const struct {
        int32_t points, copies;
        int indexType;
    } cases[] = {{65535, 1, 5123}, {65536, 1, 5125}, {32768, 2, 5125}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.points * c.copies);
        const GroupSpec spec = strip(c.points, c.copies);
        const std::string run = convertBytes(buildRsr({spec}), &glb_scale_1).obj;
        const ReadPrimitive p = readGlb(run).second.at("g").at(0);
        EXPECT_EQ(p.indexType, c.indexType);
        PrimitiveCase want;
        for (size_t i = 0; i < spec.pt.size(); ++i) want.triangles.push_back({spec.pf[i % spec.pf.size()], spec.pt[i]});
        expectPrimitive(p, want, spec);

        // The same bytes from a spill in memory.
        const StoredGroup stored(spec);
        const std::string path = tempPath(".glb");
        Output out;
        FileTarget file{path.c_str()};
        ASSERT_TRUE(openOutput(out, fileSink(file)));
        {
            const auto w = glbWriter(out, 1.0, true);
            ASSERT_EQ(w->group("g", stored.g), GroupWritten::done);
            EXPECT_TRUE(w->finishOutput(nullptr));
        }
        closeOutput(out);
        EXPECT_TRUE(readFile(path) == run);
        std::remove(path.c_str());
    }
}

TEST(Glb, VerticesNumberedInOrderOfFirstUse) {
    // Pairs drawn from 32,768, most of them once, numbered in two calls, in
    // both slot widths: with 8 bits of hash in a slot, pairs probed past
    // share them.
    std::vector<uint64_t> corners;
    uint32_t seed = 7;
    for (int c = 0; c < 20000; ++c) {
        seed = seed * 1664525u + 1013904223u;
        corners.push_back(cornerKey(int32_t(seed >> 18), int32_t(seed >> 12 & 1) - 1));
    }
    std::map<uint64_t, uint32_t> first;
    std::vector<uint64_t> expected;
    for (const uint64_t key : corners)
        if (first.emplace(key, uint32_t(expected.size())).second) expected.push_back(key);
    for (const bool wide : {false, true}) {
        VertexTable table;
        table.reset(corners.size(), wide);
        std::vector<uint32_t> vertexOf;
        std::vector<uint64_t> vertices;
        table.number(corners.data(), 12345, vertexOf, vertices);
        table.number(corners.data() + 12345, corners.size() - 12345, vertexOf, vertices);
        EXPECT_TRUE(vertices == expected) << wide;
        ASSERT_EQ(vertexOf.size(), corners.size());
        size_t wrong = 0;
        for (size_t c = 0; c < corners.size(); ++c) wrong += vertexOf[c] != first.at(corners[c]);
        EXPECT_EQ(wrong, 0u) << wide;
    }
}

}  // namespace
