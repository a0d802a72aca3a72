// From samples to pixels: each pixel takes the mean colour of the samples
// drawn within it, and as much alpha as they cover of it, so that edges
// are smooth on any background.
#pragma once

#include "convert/picture/image.h"
#include "convert/picture/raster.h"

namespace quarlen {

// The picture of r, whose side is `perPixel` samples a pixel. May throw
// std::bad_alloc.
Image resolveSamples(const Raster& r, int perPixel);

}  // namespace quarlen
