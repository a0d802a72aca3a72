// The material file written by --mtl: one "newmtl" per distinct name used,
// in order of first use, each with a diffuse colour of its own.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace quarlen {

struct MaterialList {
    std::vector<std::string> names;  // in order of first use
    std::unordered_map<std::string, size_t> index;
};

// Adds name unless the list has it already; returns its index.
size_t useMaterial(MaterialList& list, const std::string& name);

// Adds the name --mtl writes for a stored material name (made safe);
// returns its index, which materialColour turns into its colour.
size_t useMaterialName(MaterialList& list, const char* stored);

// The diffuse colour of the i-th material as 8-bit red, green and blue: a
// fixed palette first, then colours of their own, no two the same for
// i below 2^24.
void materialColour(size_t i, unsigned char rgb[3]);

// The material file's text, with LF or CR LF line ends.
std::string mtlText(const MaterialList& list, bool lf);

}  // namespace quarlen
