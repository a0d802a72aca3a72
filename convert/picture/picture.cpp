#include "convert/picture/picture.h"

#include <cassert>

#include "convert/picture/placeholder.h"
#include "convert/picture/resolve.h"

namespace quarlen {

void startPicture(Picture& p, const ViewBounds& b, int pixels) {
    assert(pixels >= 1 && pixels <= max_picture_size);
    p.pixels = pixels;
    p.frame = fitFrame(b, pageView(), pixels, samples_per_pixel);
}

Image finishPicture(const Picture& p) {
    assert(p.pixels > 0);
    return p.drawn ? resolveSamples(p.raster, samples_per_pixel) : placeholderImage(p.pixels);
}

}  // namespace quarlen
