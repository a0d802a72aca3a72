#include "tests/reader_check.h"

#include <cmath>
#include <set>
#include <sstream>
#include <tiny_obj_loader.h>


namespace {

struct CallbackState {
    ReadBack* r;
    bool materialFile;
    std::string group, material;
};

CallbackState& state(void* user) { return *static_cast<CallbackState*>(user); }

}  // namespace

ReadBack readWithCallbacks(const std::string& obj, const std::string* mtl) {
    ReadBack r;
    CallbackState s{&r, mtl != nullptr, "", ""};
    tinyobj::callback_t cb;
    cb.vertex_cb = [](void* u, tinyobj::real_t x, tinyobj::real_t y, tinyobj::real_t z, tinyobj::real_t) {
        state(u).r->xyz.insert(state(u).r->xyz.end(), {x, y, z});
    };
    cb.texcoord_cb = [](void* u, tinyobj::real_t x, tinyobj::real_t y, tinyobj::real_t) {
        state(u).r->uv.insert(state(u).r->uv.end(), {x, y});
    };
    cb.group_cb = [](void* u, const char** names, int n) {
        state(u).group.clear();
        for (int i = 0; i < n; ++i) state(u).group.append(i ? " " : "").append(names[i]);
    };
    cb.usemtl_cb = [](void* u, const char* name, int id) {
        state(u).material = name;
        if (state(u).materialFile && id < 0) state(u).r->warn += std::string("no material ") + name + "\n";
    };
    cb.mtllib_cb = [](void* u, const tinyobj::material_t* m, int n) {
        // For a material file of none, the reader makes one of its own, named "".
        for (int i = 0; i < n; ++i)
            if (n > 1 || *m[i].name.c_str()) state(u).r->materials.push_back(m[i].name);
    };
    cb.index_cb = [](void* u, tinyobj::index_t* idx, int n) {
        // This interface passes the numbers as written, 1-based, 0 for none.
        ObjFace f{.group = state(u).group, .material = state(u).material};
        for (int i = 0; i < n; ++i) {
            f.v.push_back(idx[i].vertex_index - 1);
            if (idx[i].texcoord_index != 0) f.t.push_back(idx[i].texcoord_index - 1);
        }
        state(u).r->faces.push_back(f);
    };
    std::istringstream in(obj), mtlIn(mtl ? *mtl : "");
    tinyobj::MaterialStreamReader materials(mtlIn);
    r.ok = tinyobj::LoadObjWithCallback(in, cb, &s, mtl ? &materials : nullptr, &r.warn, &r.err);
    return r;
}

namespace {

// True when got is want as "%g" writes it (6 significant digits) and a
// reader parses it back: rounding to 6 digits moves a value by at most 5e-6
// of itself, and parsing back into a float adds at most half an ulp.
bool sameTo6Digits(float got, float want) {
    if (want == 0) return got == 0;
    return std::fabs(double(got) - double(want)) <= 5.1e-6 * std::fabs(double(want));
}

// The n values of item i of got and item k of want, to 6 digits.
bool sameItem(const std::vector<float>& got, int64_t i, const std::vector<float>& want, int64_t k, size_t n) {
    if (i < 0 || size_t(i + 1) * n > got.size()) return false;
    for (size_t c = 0; c < n; ++c)
        if (!sameTo6Digits(got[size_t(i) * n + c], want[size_t(k) * n + c])) return false;
    return true;
}

}  // namespace

testing::AssertionResult readsAsModel(const std::string& obj, const std::vector<GroupSpec>& model, bool welded) {
    const ReadBack got = readWithCallbacks(obj);
    const ObjModel want = expectedObj(model);
    testing::AssertionResult no = testing::AssertionFailure();
    if (!got.ok || !got.warn.empty() || !got.err.empty()) return no << "the reader said: " << got.err << got.warn;
    if (got.uv.size() != want.uv.size()) return no << got.uv.size() << " texture values, not " << want.uv.size();
    for (size_t i = 0; i < want.uv.size() / 2; ++i)
        if (!sameItem(got.uv, int64_t(i), want.uv, int64_t(i), 2)) return no << "texture vertex " << i;
    if (welded) {
        std::set<std::vector<float>> distinct;
        for (size_t i = 0; i < got.xyz.size(); i += 3) distinct.insert({got.xyz[i], got.xyz[i + 1], got.xyz[i + 2]});
        if (distinct.size() != got.xyz.size() / 3) return no << "a point written twice";
        if (got.xyz.size() >= want.xyz.size()) return no << "no point welded";
    } else {
        if (got.xyz.size() != want.xyz.size()) return no << got.xyz.size() << " point values, not " << want.xyz.size();
        for (size_t i = 0; i < want.xyz.size() / 3; ++i)
            if (!sameItem(got.xyz, int64_t(i), want.xyz, int64_t(i), 3)) return no << "point " << i;
    }
    if (got.faces.size() != want.faces.size()) return no << got.faces.size() << " faces, not " << want.faces.size();
    for (size_t j = 0; j < want.faces.size(); ++j) {
        const ObjFace &g = got.faces[j], &w = want.faces[j];
        bool same = g.group == w.group && g.material == w.material && g.t == w.t && g.v.size() == w.v.size();
        for (size_t k = 0; same && k < w.v.size(); ++k)
            same = welded ? sameItem(got.xyz, g.v[k], want.xyz, w.v[k], 3) : g.v[k] == w.v[k];
        if (!same) return no << "face " << j << " of group " << w.group;
    }
    return testing::AssertionSuccess();
}
