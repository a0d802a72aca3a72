#include "convert/picture/resolve.h"

#include <cassert>

namespace quarlen {

Image resolveSamples(const Raster& r, int perPixel) {
    assert(perPixel > 0 && r.side % perPixel == 0 && tile_side % perPixel == 0);
    Image im;
    im.width = im.height = r.side / perPixel;
    im.rgba.assign(size_t(im.width) * size_t(im.height) * 4, 0);
    const unsigned all = unsigned(perPixel * perPixel);
    assert(all * 0xFF <= 0xFFFF);  // red and blue are summed in a 16-bit half each
    const int across = tile_side / perPixel;  // pixels on each side of a tile
    // Tile by tile, each pixel from the samples of its square within it.
    for (int ty = 0; ty < r.side; ty += tile_side)
        for (int tx = 0; tx < r.side; tx += tile_side) {
            const uint32_t* tile = &r.colour[sampleIndex(r, tx, ty)];
            uint32_t any = 0;  // most tiles of a picture are all background
            for (int k = 0; k < tile_samples; ++k) any |= tile[k];
            if (!any) continue;
            for (int py = 0; py < across && ty / perPixel + py < im.height; ++py)
                for (int px = 0; px < across && tx / perPixel + px < im.width; ++px) {
                    uint32_t redBlue = 0, green = 0, drawn = 0;
                    for (int y = py * perPixel; y < (py + 1) * perPixel; ++y)
                        for (int x = px * perPixel; x < (px + 1) * perPixel; ++x) {
                            const uint32_t c = tile[y * tile_side + x];
                            drawn += c >> 31;
                            redBlue += c & 0x00FF00FF;
                            green += c >> 8 & 0xFF;
                        }
                    if (!drawn) continue;
                    const unsigned sum[3] = {redBlue & 0xFFFF, green, redBlue >> 16};
                    const size_t at = (size_t(ty / perPixel + py) * size_t(im.width) + size_t(tx / perPixel + px)) * 4;
                    for (int k = 0; k < 3; ++k) im.rgba[at + k] = static_cast<unsigned char>((sum[k] + drawn / 2) / drawn);
                    im.rgba[at + 3] = static_cast<unsigned char>((255 * drawn + all / 2) / all);
                }
        }
    return im;
}

}  // namespace quarlen
