// The PNG file of a picture, made by stb_image_write (Debian's libstb-dev),
// a well-kept encoder: this program writes no compression of its own.
#pragma once

#include <string>

#include "convert/picture/image.h"

namespace quarlen {

// The bytes of a PNG file of im: 8-bit RGBA, not interlaced. Empty when
// memory ran out.
std::string pngFile(const Image& im);

}  // namespace quarlen
