// A picture as the front ends take it: 8-bit red, green, blue and alpha
// (not premultiplied) of each pixel, rows from the top.
#pragma once

#include <vector>

namespace quarlen {

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;  // 4 bytes a pixel, width * height pixels
    bool placeholder = false;         // the plain picture of a model with nothing drawn
};

}  // namespace quarlen
