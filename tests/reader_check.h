// Reading converted OBJ text back with tinyobjloader, a reader written
// elsewhere, and comparing what it finds with what the model means.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/model_gen.h"


// What tinyobjloader's callback interface reports: faces with 0-based global
// numbers (t empty when the face has no texture numbers), the group and
// material in force, and the materials of the material file when one is
// given. A "usemtl" line naming none of them is a warning.
struct ReadBack {
    bool ok = false;
    std::string warn, err;
    std::vector<float> xyz, uv;
    std::vector<ObjFace> faces;
    std::vector<std::string> materials;
};

ReadBack readWithCallbacks(const std::string& obj, const std::string* mtl = nullptr);

// The OBJ text of a well-formed model read back without a word from the
// reader: every point and texture vertex to 6 digits, and every facet's
// group, material and corner numbers. Welded (--weld), each corner reaches
// the model's coordinates instead, and no point is written twice.
testing::AssertionResult readsAsModel(const std::string& obj, const std::vector<GroupSpec>& model,
                                      bool welded = false);
