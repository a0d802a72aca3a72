// The material file written by --mtl: one "newmtl" per distinct name used,
// in order of first use, each with its colour (material_colours.h).
#pragma once

#include <string>

#include "convert/options/materials_written.h"

namespace quarlen {

// The material file's text, with LF or CR LF line ends.
std::string mtlText(const MaterialList& list, bool lf);

}  // namespace quarlen
