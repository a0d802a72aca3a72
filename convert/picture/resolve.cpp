#include "convert/picture/resolve.h"

#include <cassert>

namespace quarlen {

Image resolveSamples(const Raster& r, int perPixel) {
    assert(perPixel > 0 && r.side % perPixel == 0);
    Image im;
    im.width = im.height = r.side / perPixel;
    im.rgba.assign(size_t(im.width) * size_t(im.height) * 4, 0);
    const unsigned all = unsigned(perPixel * perPixel);
    unsigned char* out = im.rgba.data();
    for (int py = 0; py < im.height; ++py)
        for (int px = 0; px < im.width; ++px, out += 4) {
            unsigned sum[3] = {0, 0, 0}, drawn = 0;
            for (int y = py * perPixel; y < (py + 1) * perPixel; ++y)
                for (int x = px * perPixel; x < (px + 1) * perPixel; ++x) {
                    const uint32_t c = r.colour[sampleIndex(r, x, y)];
                    if (!c) continue;
                    ++drawn;
                    for (int k = 0; k < 3; ++k) sum[k] += c >> (8 * k) & 0xFF;
                }
            if (!drawn) continue;
            for (int k = 0; k < 3; ++k) out[k] = static_cast<unsigned char>((sum[k] + drawn / 2) / drawn);
            out[3] = static_cast<unsigned char>((255 * drawn + all / 2) / all);
        }
    return im;
}

}  // namespace quarlen
