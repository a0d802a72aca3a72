#include "tests/reader_check.h"

#include <cmath>
#include <sstream>
#include <tiny_obj_loader.h>


namespace {

struct CallbackState {
    ReadBack* r;
    std::string group, material;
};

CallbackState& state(void* user) { return *static_cast<CallbackState*>(user); }

}  // namespace

ReadBack readWithCallbacks(const std::string& obj) {
    ReadBack r;
    CallbackState s{&r, "", ""};
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
    cb.usemtl_cb = [](void* u, const char* name, int) { state(u).material = name; };
    cb.index_cb = [](void* u, tinyobj::index_t* idx, int n) {
        // This interface passes the numbers as written, 1-based, 0 for none.
        ObjFace f{.group = state(u).group, .material = state(u).material};
        for (int i = 0; i < n; ++i) {
            f.v.push_back(idx[i].vertex_index - 1);
            if (idx[i].texcoord_index != 0) f.t.push_back(idx[i].texcoord_index - 1);
        }
        state(u).r->faces.push_back(f);
    };
    std::istringstream in(obj);
    r.ok = tinyobj::LoadObjWithCallback(in, cb, &s, nullptr, &r.warn, &r.err);
    return r;
}

bool sameTo6Digits(float got, float want) {
    if (want == 0) return got == 0;
    // Rounding to 6 digits moves a value by at most 5e-6 of itself; parsing
    // back into a float adds at most half an ulp.
    return std::fabs(double(got) - double(want)) <= 5.1e-6 * std::fabs(double(want));
}
