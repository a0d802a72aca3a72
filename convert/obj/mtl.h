// The material file written by --mtl: one "newmtl" per distinct name used,
// in order of first use, each with a diffuse colour of its own.
#pragma once

#include <cstddef>
#include <string>

#include "convert/options/materials_written.h"

namespace quarlen {

// The diffuse colour of the i-th material as 8-bit red, green and blue: a
// fixed palette first, then colours of their own, no two the same for
// i below 2^24.
void materialColour(size_t i, unsigned char rgb[3]);

// The material file's text, with LF or CR LF line ends.
std::string mtlText(const MaterialList& list, bool lf);

}  // namespace quarlen
