#include "convert/picture/raster.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarlen {

namespace {

// Corners are snapped to 1/16 of a sample, so that the edge functions are
// exact integers: a sample's middle on an edge two triangles share is then
// inside exactly one of them.
constexpr int sub = 16;
constexpr float nothing = std::numeric_limits<float>::infinity();

// Samples i0 to i1 across and j0 to j1 down, all inclusive.
struct Rect {
    int i0, i1, j0, j1;
};

// A triangle ready to draw. Each edge function, at sample (i, j)'s middle,
// is at[k] + i * dx[k] + j * dy[k], at least 0 inside; depth is
// z + i * zx + j * zy, kept within the corners' own.
struct Setup {
    int64_t at[3], dx[3], dy[3];
    double z, zx, zy;
    float nearest, farthest;  // of the corners
    Rect box;                 // the samples whose middles the corners' bounds hold, within the picture
};

// A coordinate within the reach of setUp in sixteenths of a sample, the
// nearest (halves up): rounding a positive number by truncation needs no
// call into the maths library.
int64_t snapped(double v) {
    const double shift = 1 << 20;  // more than the reach
    return int64_t(v * sub + 0.5 + shift) - int64_t(shift);
}

int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool setUp(const Raster& r, const ScreenTriangle& t, Setup& s) {
    int64_t x[3], y[3];
    double z[3];
    // A corner far past the picture is brought nearer it: what shows of
    // the triangle then moves, but framing places no corner there.
    const double lo = -r.side, hi = 2.0 * r.side;
    for (int k = 0; k < 3; ++k) {
        x[k] = snapped(std::clamp(t.corner[k][0], lo, hi));
        y[k] = snapped(std::clamp(t.corner[k][1], lo, hi));
        z[k] = t.corner[k][2];
    }
    const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (area == 0) return false;
    if (area < 0) {
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
        std::swap(z[1], z[2]);
    }
    const int64_t minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
    const int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    // Sample i's middle is at 16 i + 8.
    s.box.i0 = int(std::max<int64_t>(0, floorDiv(minX - sub / 2 + sub - 1, sub)));
    s.box.i1 = int(std::min<int64_t>(r.side - 1, floorDiv(maxX - sub / 2, sub)));
    s.box.j0 = int(std::max<int64_t>(0, floorDiv(minY - sub / 2 + sub - 1, sub)));
    s.box.j1 = int(std::min<int64_t>(r.side - 1, floorDiv(maxY - sub / 2, sub)));
    if (s.box.i0 > s.box.i1 || s.box.j0 > s.box.j1) return false;
    for (int k = 0; k < 3; ++k) {
        // The edge from corner a to corner b: (b - a) x (p - a).
        const int a = (k + 1) % 3, b = (k + 2) % 3;
        const int64_t ex = -(y[b] - y[a]), ey = x[b] - x[a];
        // Of an edge two triangles share, one has it with ex > 0 (or
        // ex = 0 and ey > 0) and takes the middles on it; the other not.
        const bool takesEdge = ex > 0 || (ex == 0 && ey > 0);
        const int64_t c = -(ex * x[a] + ey * y[a]) - (takesEdge ? 0 : 1);
        s.at[k] = ex * (sub / 2) + ey * (sub / 2) + c;
        s.dx[k] = ex * sub;
        s.dy[k] = ey * sub;
    }
    // The depth plane through the snapped corners, in samples.
    const double ax = double(x[1] - x[0]) / sub, ay = double(y[1] - y[0]) / sub;
    const double bx = double(x[2] - x[0]) / sub, by = double(y[2] - y[0]) / sub;
    const double det = ax * by - ay * bx;
    s.zx = ((z[1] - z[0]) * by - (z[2] - z[0]) * ay) / det;
    s.zy = ((z[2] - z[0]) * ax - (z[1] - z[0]) * bx) / det;
    const double x0 = double(x[0]) / sub, y0 = double(y[0]) / sub;
    s.z = z[0] + s.zx * (0.5 - x0) + s.zy * (0.5 - y0);
    s.nearest = float(std::min({z[0], z[1], z[2]}));
    s.farthest = float(std::max({z[0], z[1], z[2]}));
    return true;
}

Rect clip(const Rect& a, int i0, int j0, int side) {
    return {std::max(a.i0, i0), std::min(a.i1, i0 + side - 1), std::max(a.j0, j0), std::min(a.j1, j0 + side - 1)};
}

// No sample middle of the rectangle is inside the triangle: some edge is
// below 0 at all four corners.
bool outside(const Setup& s, const Rect& q) {
    for (int k = 0; k < 3; ++k) {
        const int64_t most = s.at[k] + (s.dx[k] > 0 ? q.i1 : q.i0) * s.dx[k] + (s.dy[k] > 0 ? q.j1 : q.j0) * s.dy[k];
        if (most < 0) return true;
    }
    return false;
}

// The triangle's nearest depth over the rectangle.
float nearestOver(const Setup& s, const Rect& q) {
    const double z = s.z + std::min(q.i0 * s.zx, q.i1 * s.zx) + std::min(q.j0 * s.zy, q.j1 * s.zy);
    return std::max(s.nearest, float(z));
}

// A tile's far depth taken again, from its samples, when a triangle is not
// behind a stale one; a block's, from its tiles', each time it is drawn in
// (a block's test needs no second look then).
void refreshTile(Raster& r, size_t tile) {
    const float* d = &r.depth[tile * tile_samples];
    float far = d[0];
    for (int k = 1; k < tile_samples; ++k) far = std::max(far, d[k]);
    r.tileFar[tile] = far;
    r.tileStale[tile] = 0;
}

void refreshBlock(Raster& r, size_t block) {
    const float* tiles = &r.tileFar[block * tiles_in_block];
    float far = tiles[0];
    for (int k = 1; k < tiles_in_block; ++k) far = std::max(far, tiles[k]);
    r.blockFar[block] = far;
}

// Whether depth `near` is nearer than a tile's far depth, taken again
// first where it is stale.
bool nearerThanTile(Raster& r, size_t tile, float near) {
    if (near < r.tileFar[tile] && r.tileStale[tile]) refreshTile(r, tile);
    return near < r.tileFar[tile];
}

// The triangle's depth at the sample nearest to the viewer of a square of
// `side` samples, from that at its top left sample; and edge function k at
// the sample most inside.
double nearestCorner(const Setup& s, int side) {
    return std::min(0.0, (side - 1) * s.zx) + std::min(0.0, (side - 1) * s.zy);
}
int64_t mostInside(const Setup& s, int k, int side) {
    return (side - 1) * (std::max<int64_t>(s.dx[k], 0) + std::max<int64_t>(s.dy[k], 0));
}

// Edge function k at sample (i, j), plus `more`, in 32 bits: across a
// block of a picture of max_raster_side it changes by less than 2^28, so
// that beyond +-2^30 it has one sign all over one.
int32_t edgeAt(const Setup& s, int k, int i, int j, int64_t more = 0) {
    const int64_t e = s.at[k] + i * s.dx[k] + j * s.dy[k] + more;
    return int32_t(std::clamp<int64_t>(e, -(int64_t(1) << 30), int64_t(1) << 30));
}

// What each lane adds to the triangle's values at the first: sample x of a
// row of 8, and tile t (8 y + x) of a block.
struct Lanes {
    int32_t sample[3][8];  // to each edge function
    float zSample[8];      // to the depth
    int32_t tile[3][tiles_in_block];
    float zTile[tiles_in_block];
};

void makeSampleLanes(const Setup& s, Lanes& l) {
    for (int x = 0; x < 8; ++x) {
        for (int k = 0; k < 3; ++k) l.sample[k][x] = int32_t(x * s.dx[k]);
        l.zSample[x] = float(x * s.zx);
    }
}

void makeTileLanes(const Setup& s, Lanes& l) {
    // In 32 bits, as in edgeAt.
    for (int k = 0; k < 3; ++k) {
        const auto across = int32_t(tile_side * s.dx[k]), down = int32_t(tile_side * s.dy[k]);
        for (int t = 0; t < tiles_in_block; ++t) l.tile[k][t] = t % block_tiles * across + t / block_tiles * down;
    }
    const auto across = float(tile_side * s.zx), down = float(tile_side * s.zy);
    for (int t = 0; t < tiles_in_block; ++t) l.zTile[t] = float(t % block_tiles) * across + float(t / block_tiles) * down;
}

// Bit t set for each of 64 lanes whose sign bit is set.
uint64_t signBits(const int32_t lanes[tiles_in_block]) {
    uint64_t bits = 0;
#if defined(__SSE2__)
    for (int t = 0; t < tiles_in_block; t += 4) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes + t));
        bits |= uint64_t(unsigned(_mm_movemask_ps(_mm_castsi128_ps(four)))) << t;
    }
#else
    for (int t = 0; t < tiles_in_block; ++t) bits |= uint64_t(uint32_t(lanes[t]) >> 31) << t;
#endif
    return bits;
}

// The triangle against the blocks of its bounds, a row at a time: its
// depth at each block's sample nearest to the viewer and its edge
// functions (exact in doubles) at each block's sample most inside, from
// block (bi, bj) on.
struct BlockRows {
    int bi, n;           // the first block of each row, and how many
    float z, zx, zy;     // depth at the first block's, and from block to block
    double e[3], ex[3], ey[3];  // likewise
};

BlockRows blockRows(const Setup& s, int bi, int bj, int n) {
    BlockRows b;
    b.bi = bi;
    b.n = n;
    const int i0 = bi * block_side, j0 = bj * block_side;
    b.z = float(s.z + i0 * s.zx + j0 * s.zy + nearestCorner(s, block_side));
    b.zx = float(block_side * s.zx);
    b.zy = float(block_side * s.zy);
    for (int k = 0; k < 3; ++k) {
        b.e[k] = double(s.at[k] + i0 * s.dx[k] + j0 * s.dy[k] + mostInside(s, k, block_side));
        b.ex[k] = double(block_side * s.dx[k]);
        b.ey[k] = double(block_side * s.dy[k]);
    }
    return b;
}

// The blocks of row y of b (0 for its first) that the triangle may be
// drawn on, bit x for the x-th: by the blocks' far depths and the edges. A
// few, so taken one by one.
uint64_t blocksNearer(const Raster& r, const Setup& s, const BlockRows& b, int bj, int y) {
    const float* far = &r.blockFar[size_t(bj) * size_t(r.blocks) + size_t(b.bi)];
    const float zRow = b.z + float(y) * b.zy;
    const double e0 = b.e[0] + y * b.ey[0], e1 = b.e[1] + y * b.ey[1], e2 = b.e[2] + y * b.ey[2];
    uint64_t nearer = 0;
    for (int x = 0; x < b.n; ++x) {
        float z = zRow + float(x) * b.zx;
        z = z > s.nearest ? z : s.nearest;
        const bool in = (e0 + x * b.ex[0] >= 0) & (e1 + x * b.ex[1] >= 0) & (e2 + x * b.ex[2] >= 0);
        nearer |= uint64_t((z < far[x]) & in) << x;
    }
    return nearer;
}

// The tiles of the block whose top left sample is (i0, j0) that the
// triangle may be drawn on, bit t for tile t: by the tiles' far depths,
// which may be stale and say too much, against its depth at each tile's
// sample nearest to the viewer, and by its edge functions at each tile's
// sample most inside. One loop over the 64 tiles, which compilers make
// vector instructions of.
uint64_t tilesNearer(const Raster& r, const Setup& s, const Lanes& l, size_t block, int i0, int j0) {
    const float* far = &r.tileFar[block * tiles_in_block];
    const auto z0 = float(s.z + i0 * s.zx + j0 * s.zy + nearestCorner(s, tile_side));
    const int32_t e0 = edgeAt(s, 0, i0, j0, mostInside(s, 0, tile_side));
    const int32_t e1 = edgeAt(s, 1, i0, j0, mostInside(s, 1, tile_side));
    const int32_t e2 = edgeAt(s, 2, i0, j0, mostInside(s, 2, tile_side));
    int32_t pass[tiles_in_block];
    for (int t = 0; t < tiles_in_block; ++t) {
        float z = z0 + l.zTile[t];
        z = z > s.nearest ? z : s.nearest;
        const int32_t beyond = (e0 + l.tile[0][t]) | (e1 + l.tile[1][t]) | (e2 + l.tile[2][t]);
        pass[t] = -int32_t(z < far[t]) & ~beyond;
    }
    return signBits(pass);
}

// The tiles of a block (bit 8 y + x for tile (x, y)) that the samples q
// within it lie in.
uint64_t tilesOf(const Rect& q) {
    const int x0 = q.i0 % block_side / tile_side, x1 = q.i1 % block_side / tile_side;
    const int y0 = q.j0 % block_side / tile_side, y1 = q.j1 % block_side / tile_side;
    const uint64_t row = ((uint64_t(1) << (x1 - x0 + 1)) - 1) << x0;
    uint64_t tiles = 0;
    for (int y = y0; y <= y1; ++y) tiles |= row << (block_tiles * y);
    return tiles;
}

// Draws the triangle on the samples q of one tile, whose top left sample
// is (i0, j0): first which samples of q's rows it takes, then, only if it
// takes any, their depth and colour, since most tiles tried take none.
// Each row is one loop of integer masks over the tile's 8 samples, which
// compilers make vector instructions of (unrolled, they would not).
bool drawTile(Raster& r, const Setup& s, const Lanes& l, size_t tile, int i0, int j0, const Rect& q,
              uint32_t colour) {
    float* __restrict depth = &r.depth[tile * tile_samples];
    int32_t columns[8];  // -1 for the columns of q
    for (int x = 0; x < 8; ++x) columns[x] = -int32_t(i0 + x >= q.i0 && i0 + x <= q.i1);
    const int first = tile_side * (q.j0 - j0), end = tile_side * (q.j1 - j0 + 1);  // q's rows
    float z[tile_samples];
    int32_t take[tile_samples];  // -1 for a sample taken
    int32_t any = 0;
    // Within a tile the edge functions change by less than 2^28, as in edgeAt.
    int32_t e0 = edgeAt(s, 0, i0, q.j0), e1 = edgeAt(s, 1, i0, q.j0), e2 = edgeAt(s, 2, i0, q.j0);
    auto zRow = float(s.z + i0 * s.zx + q.j0 * s.zy);  // near the tile, where floats are exact enough
    for (int row = first; row < end; row += tile_side) {
#pragma GCC unroll 1
        for (int x = 0; x < 8; ++x) {
            float here = zRow + l.zSample[x];
            here = here > s.nearest ? here : s.nearest;
            here = here < s.farthest ? here : s.farthest;
            const int32_t beyond = (e0 + l.sample[0][x]) | (e1 + l.sample[1][x]) | (e2 + l.sample[2][x]);
            const int32_t taken = (-int32_t(here < depth[row + x]) & columns[x] & ~beyond) >> 31;
            z[row + x] = here;
            take[row + x] = taken;
            any |= taken;
        }
        e0 += int32_t(s.dy[0]), e1 += int32_t(s.dy[1]), e2 += int32_t(s.dy[2]);
        zRow += float(s.zy);
    }
    if (!any) return false;
    uint32_t* __restrict out = &r.colour[tile * tile_samples];
    for (int k = first; k < end; ++k) {
        depth[k] = take[k] ? z[k] : depth[k];
        out[k] = uint32_t((int32_t(colour) & take[k]) | (int32_t(out[k]) & ~take[k]));
    }
    return true;
}

// Draws the triangle on tile k of a block, the samples q of it, when it
// may be nearer there; colour and lanes are made at the first tile tried.
bool drawOnTile(Raster& r, const Setup& s, const ScreenTriangle& t, const Shades& shades, size_t block, int k,
                const Rect& q, uint32_t& colour, Lanes& lanes) {
    const int i0 = q.i0 / tile_side * tile_side, j0 = q.j0 / tile_side * tile_side;
    const size_t tile = block * tiles_in_block + size_t(k);
    if (!nearerThanTile(r, tile, nearestOver(s, q)) || outside(s, q)) return false;
    if (!colour) {
        colour = shades.colour[shadeLevel(t.corner[0], t.corner[1], t.corner[2])];
        makeSampleLanes(s, lanes);
    }
    if (!drawTile(r, s, lanes, tile, i0, j0, q, colour)) return false;
    r.tileStale[tile] = 1;
    return true;
}

// The block a sample lies in, and the tile of that block.
size_t blockOf(const Raster& r, int i, int j) { return size_t(j / block_side) * size_t(r.blocks) + size_t(i / block_side); }
int tileOf(int i, int j) { return j % block_side / tile_side * block_tiles + i % block_side / tile_side; }

}  // namespace

void startRaster(Raster& r, int side) {
    assert(side > 0 && side <= max_raster_side);
    r.side = side;
    r.blocks = (side + block_side - 1) / block_side;
    const size_t blocks = size_t(r.blocks) * size_t(r.blocks), tiles = tiles_in_block * blocks;
    r.depth.assign(tiles * tile_samples, nothing);
    r.colour.assign(tiles * tile_samples, 0);
    // The padding is nearer than anything: it never holds a far depth up.
    const int padded = r.blocks * block_side;
    for (int y = 0; y < padded; ++y)
        for (int x = y < side ? side : 0; x < padded; ++x) r.depth[sampleIndex(r, x, y)] = -nothing;
    r.tileFar.assign(tiles, nothing);
    r.blockFar.assign(blocks, nothing);
    r.tileStale.assign(tiles, 1);
}

bool drawTriangle(Raster& r, const ScreenTriangle& t, const Shades& shades) {
    Setup s;
    if (!setUp(r, t, s)) return false;
    uint32_t colour = 0;  // taken at the first tile that may be drawn
    Lanes lanes;          // its samples' made with it, its tiles' at the first block
    bool drew = false;
    // A triangle within 2 x 2 tiles, as most of a fine mesh's are, is tried
    // on those tiles alone.
    if (s.box.i1 / tile_side - s.box.i0 / tile_side <= 1 && s.box.j1 / tile_side - s.box.j0 / tile_side <= 1) {
        for (int j0 = s.box.j0 / tile_side * tile_side; j0 <= s.box.j1; j0 += tile_side)
            for (int i0 = s.box.i0 / tile_side * tile_side; i0 <= s.box.i1; i0 += tile_side) {
                const size_t block = blockOf(r, i0, j0);
                if (!drawOnTile(r, s, t, shades, block, tileOf(i0, j0), clip(s.box, i0, j0, tile_side), colour, lanes))
                    continue;
                refreshBlock(r, block);
                drew = true;
            }
        return drew;
    }
    const int bi0 = s.box.i0 / block_side, bi1 = s.box.i1 / block_side, bj0 = s.box.j0 / block_side;
    const BlockRows rows = blockRows(s, bi0, bj0, bi1 - bi0 + 1);
    bool tileLanes = false;  // lanes holds the tiles'
    for (int bj = bj0; bj <= s.box.j1 / block_side; ++bj) {
        for (uint64_t blocks = blocksNearer(r, s, rows, bj, bj - bj0); blocks; blocks &= blocks - 1) {
            const int bi = bi0 + std::countr_zero(blocks);
            const Rect inBlock = clip(s.box, bi * block_side, bj * block_side, block_side);
            const size_t block = size_t(bj) * size_t(r.blocks) + size_t(bi);
            if (!tileLanes) {
                makeTileLanes(s, lanes);
                tileLanes = true;
            }
            bool blockDrawn = false;
            uint64_t tiles = tilesNearer(r, s, lanes, block, bi * block_side, bj * block_side) & tilesOf(inBlock);
            for (; tiles; tiles &= tiles - 1) {
                const int k = std::countr_zero(tiles);
                const int i0 = bi * block_side + k % block_tiles * tile_side;
                const int j0 = bj * block_side + k / block_tiles * tile_side;
                blockDrawn = drawOnTile(r, s, t, shades, block, k, clip(inBlock, i0, j0, tile_side), colour, lanes) ||
                             blockDrawn;
            }
            if (blockDrawn) {
                refreshBlock(r, block);
                drew = true;
            }
        }
    }
    return drew;
}

}  // namespace quarlen
