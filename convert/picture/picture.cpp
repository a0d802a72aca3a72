#include "convert/picture/picture.h"

#include <cassert>

#include "convert/picture/raster.h"

#include "convert/picture/placeholder.h"
#include "convert/picture/resolve.h"

namespace quarlen {

namespace {

// Samples on each side of a pixel: 2 x 2, or more for small pictures, so
// that the samples stay within max_raster_side.
int samplesPerPixel(int pixels) {
    const int within = max_raster_side / pixels;
    return within > max_samples_per_pixel ? max_samples_per_pixel : within;
}

}  // namespace

void startPicture(Picture& p, const ViewBounds& b, int pixels) {
    assert(pixels >= 1 && pixels <= max_picture_size);
    p.pixels = pixels;
    p.perPixel = samplesPerPixel(pixels);
    p.frame = fitFrame(b, pageView(), pixels, p.perPixel);
    makeSrgbTable(p.srgb);
}

Image finishPicture(const Picture& p) {
    assert(p.pixels > 0);
    return p.drawn ? resolveSamples(p.raster, p.perPixel) : placeholderImage(p.pixels);
}

}  // namespace quarlen
