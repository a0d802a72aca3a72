// The picture's samples and the drawing of triangles into them, nearest
// first by a depth buffer. The samples lie in tiles of 8 x 8, and the
// tiles in blocks of 8 x 8. Each tile and block keeps a depth no nearer
// than its farthest sample (+inf while one is undrawn): where a triangle
// is behind it, the triangle is turned away a block or a tile at a time,
// never sample by sample, and the 64 tiles of a block are tried at once.
// A model of large overlapping facets then costs little more than the
// facets seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/picture/shading.h"

namespace quarlen {

inline constexpr int tile_side = 8;    // samples on each side of a tile
inline constexpr int block_tiles = 8;  // tiles on each side of a block: a block's tiles are the bits of 64
inline constexpr int tile_samples = tile_side * tile_side;
inline constexpr int block_side = block_tiles * tile_side;
inline constexpr int tiles_in_block = block_tiles * block_tiles;
inline constexpr int max_raster_side = 2048;  // samples on each side, at most

struct Raster {
    int side = 0;    // samples on each side of the picture
    int blocks = 0;  // blocks on each side, covering the picture: the samples past side are padding
    // Per sample, block by block, tile by tile, row by row (sampleIndex):
    std::vector<float> depth;      // away from the viewer; +inf where nothing is drawn, -inf in the padding
    std::vector<uint32_t> colour;  // packColour's, 0 where nothing is drawn
    // The farthest sample's depth within each tile (block by block, row by
    // row) and each block (row by row), taken again each time one is drawn
    // in:
    std::vector<float> tileFar, blockFar;
};

// Readies r for a picture of side x side samples (1 to max_raster_side),
// nothing drawn. May throw std::bad_alloc.
void startRaster(Raster& r, int side);

// Where sample (x, y) of the picture lies in depth and colour.
inline size_t sampleIndex(const Raster& r, int x, int y) {
    const size_t block = size_t(y / block_side) * size_t(r.blocks) + size_t(x / block_side);
    const int tile = y % block_side / tile_side * block_tiles + x % block_side / tile_side;
    return (block * tiles_in_block + size_t(tile)) * tile_samples + size_t(y % tile_side * tile_side + x % tile_side);
}

// A point as framePoint gives it: x, y and depth in samples, each rounded
// to a float, sample (i, j) covering x from i to i + 1 and y from j to
// j + 1; and x and y snapped to the raster's grid by snapPoint.
struct ScreenPoint {
    float at[3];
    int32_t snap[2];  // in sixteenths of a sample, brought within reach of the picture
};

// Snaps p.at to r's grid into p.snap. r is started.
void snapPoint(const Raster& r, ScreenPoint& p);

// A triangle's corners, each a point framed and snapped once for all the
// triangles on it.
struct ScreenTriangle {
    const ScreenPoint* corner[3];
};

// Draws t, both sides alike, on the samples whose middles it covers (a
// middle on an edge two triangles share is drawn by one of them) where it
// is nearer than what is drawn there, in the colour of its shadeLevel in
// shades. A triangle may reach past the picture. Returns whether a sample
// was drawn.
bool drawTriangle(Raster& r, const ScreenTriangle& t, const Shades& shades);

}  // namespace quarlen
