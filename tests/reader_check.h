// Reading converted OBJ text back with tinyobjloader, a reader written
// elsewhere, and comparing what it finds with what the model means.
#pragma once

#include <string>
#include <vector>

#include "tests/model_gen.h"


// Faces as tinyobjloader's callback interface reports them: 0-based global
// numbers (t empty when the face has no texture numbers), with the group
// and material in force.
struct ReadBack {
    bool ok = false;
    std::string warn, err;
    std::vector<float> xyz, uv;
    std::vector<ObjFace> faces;
};

ReadBack readWithCallbacks(const std::string& obj);

// True when got is want as "%g" writes it (6 significant digits) and a
// reader parses it back.
bool sameTo6Digits(float got, float want);
