#include "convert/options/material_colours.h"

#include <cstdint>
#include <cstring>

namespace quarlen {

namespace {

// Twelve colours far apart, for the few materials most models have.
constexpr unsigned char palette[][3] = {
    {228, 26, 28},   {55, 126, 184},  {77, 175, 74},   {152, 78, 163},
    {255, 127, 0},   {255, 255, 51},  {166, 86, 40},   {247, 129, 191},
    {153, 153, 153}, {102, 194, 165}, {252, 141, 98},  {141, 160, 203},
};
constexpr size_t palette_size = sizeof palette / sizeof palette[0];

// A bijection of the 24-bit colours: multiplying by an odd number.
uint32_t spread(size_t i) { return static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu; }

uint32_t packed(const unsigned char* c) { return uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2]; }

}  // namespace

void materialColour(size_t i, unsigned char rgb[3]) {
    if (i < palette_size) {
        std::memcpy(rgb, palette[i], 3);
        return;
    }
    // Beyond the palette, spread(i); where that is a palette colour, take
    // spread(m) of that colour's own index m, which spread gives to no
    // i beyond the palette and which is itself no palette colour.
    uint32_t c = spread(i);
    for (size_t m = 0; m < palette_size; ++m)
        if (c == packed(palette[m])) c = spread(m);
    rgb[0] = static_cast<unsigned char>(c >> 16);
    rgb[1] = static_cast<unsigned char>(c >> 8);
    rgb[2] = static_cast<unsigned char>(c);
}

}  // namespace quarlen
