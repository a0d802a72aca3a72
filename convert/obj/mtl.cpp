#include "convert/obj/mtl.h"

#include <cstdio>

#include "convert/options/material_colours.h"

namespace quarlen {

std::string mtlText(const MaterialList& list, bool lf) {
    const char* eol = lf ? "\n" : "\r\n";
    std::string text = std::string("# Materials written by quarlen") + eol;
    for (size_t i = 0; i < list.names.size(); ++i) {
        unsigned char c[3];
        materialColour(i, c);
        char kd[64];
        std::snprintf(kd, sizeof kd, "Kd %.3f %.3f %.3f", c[0] / 255.0, c[1] / 255.0, c[2] / 255.0);
        text.append(eol).append("newmtl ").append(list.names[i]).append(eol).append(kd).append(eol);
    }
    return text;
}

}  // namespace quarlen
