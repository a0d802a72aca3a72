#include "convert/picture/raster.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>

#include "convert/picture/four_lanes.h"

// Most triangles of a large model are hidden, and are turned away by a
// test of a block or a tile that goes either way as often as not: the
// tests are written without branches, for a misguessed branch costs more
// than the work it would save.

namespace quarlen {

namespace {

// Where a function is kept whole, not inlined into its caller.
#if defined(__GNUC__)
#define NOT_INLINED [[gnu::noinline]]
#else
#define NOT_INLINED
#endif

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
    // at, dx, dy and area are not made for a tiny triangle, drawn on tinyInside's samples.
    int64_t at[3], dx[3], dy[3];
    double z, zx, zy;
    float nearest, farthest;  // of the corners
    Rect box;                 // the samples whose middles the corners' bounds hold, within the picture
    int64_t x[3], y[3];       // the corners, snapped, in sixteenths of a sample
    double corner[3];         // the corners' depths, corner k across from edge k
    double area;              // edge function k at corner k
};

// What a triangle of more than a few tiles needs besides, to be tried on
// blocks and tiles.
struct Large {
    // Inside, the depth is the nearest corner's plus, for each corner k,
    // edge function k times share[k]; the depths drawTile draws fall short
    // of that by less than the slack, by rounding.
    double share[3];
    double nearestLessSlack;
    double tileNearest;     // the depth at a tile's sample nearest to the viewer, less that at its first
    int64_t tileInside[3];  // each edge function at a tile's sample most inside, less that at its first
};

// A coordinate within the reach of setUp in sixteenths of a sample, the
// nearest (halves up): rounding a positive number by truncation needs no
// call into the maths library.
int64_t snapped(double v) {
    const double shift = 1 << 20;  // more than the reach
    return int64_t(v * sub + 0.5 + shift) - int64_t(shift);
}

// The samples whose middles the bounds of snapped corners p hold, within
// the picture: none (i0 > i1 or j0 > j1) for most triangles of a fine mesh
// in a small picture.
Rect middlesWithin(const Raster& r, const int32_t* const p[3]) {
    const int64_t minX = std::min(std::min(p[0][0], p[1][0]), p[2][0]), maxX = std::max(std::max(p[0][0], p[1][0]), p[2][0]);
    const int64_t minY = std::min(std::min(p[0][1], p[1][1]), p[2][1]), maxY = std::max(std::max(p[0][1], p[1][1]), p[2][1]);
    // Sample i's middle is at 16 i + 8; >> 4 divides by 16 rounding down.
    return {int(std::max<int64_t>(0, (minX - sub / 2 + sub - 1) >> 4)), int(std::min<int64_t>(r.side - 1, (maxX - sub / 2) >> 4)),
            int(std::max<int64_t>(0, (minY - sub / 2 + sub - 1) >> 4)), int(std::min<int64_t>(r.side - 1, (maxY - sub / 2) >> 4))};
}

// Twice the signed area of snapped corners p: 0 on a line, below 0 where
// they turn clockwise.
int64_t turnOf(const int32_t* const p[3]) {
    return (int64_t(p[1][0]) - p[0][0]) * (int64_t(p[2][1]) - p[0][1]) - (int64_t(p[1][1]) - p[0][1]) * (int64_t(p[2][0]) - p[0][0]);
}

// The triangle as it is drawn: corners 1 and 2 swapped where they turn
// clockwise, for a triangle faces either way.
ScreenTriangle drawnOrder(const ScreenTriangle& t, int64_t turn) {
    ScreenTriangle d = t;
    if (turn < 0) std::swap(d.corner[1], d.corner[2]);
    return d;
}

// Edge k of corners x, y (in order), from corner k + 1 to corner k + 2, as
// a function of a point in sixteenths of a sample: ex x + ey y + c, at
// least 0 inside.
struct Edge {
    int64_t ex, ey, c;
};

// Of an edge two triangles share, one has it with ex > 0 (or ex = 0 and
// ey > 0) and takes the middles on it; the other not.
bool takesEdge(int64_t ex, int64_t ey) { return (ex > 0) | ((ex == 0) & (ey > 0)); }

Edge edgeOf(const int64_t x[3], const int64_t y[3], int k) {
    // (b - a) x (p - a).
    const int a = (k + 1) % 3, b = (k + 2) % 3;
    const int64_t ex = -(y[b] - y[a]), ey = x[b] - x[a];
    return {ex, ey, -(ex * x[a] + ey * y[a]) - int64_t(!takesEdge(ex, ey))};
}

// The corners of t, snapped.
void snappedCorners(const ScreenTriangle& t, int64_t x[3], int64_t y[3]) {
    for (int k = 0; k < 3; ++k) {
        x[k] = t.corner[k]->snap[0];
        y[k] = t.corner[k]->snap[1];
    }
}

// The corners of t, which turn by `turn` (not 0), in drawing order, and
// their depths, over the samples `box`: all a tiny triangle needs.
void setUpCorners(const ScreenTriangle& t, const Rect& box, int64_t turn, Setup& s) {
    s.box = box;
    const ScreenTriangle d = drawnOrder(t, turn);
    snappedCorners(d, s.x, s.y);
    for (int k = 0; k < 3; ++k) s.corner[k] = d.corner[k]->at[2];
}

// And the edge functions, for a triangle tried on tiles.
void setUpEdges(const ScreenTriangle& t, const Rect& box, int64_t turn, Setup& s) {
    setUpCorners(t, box, turn, s);
    for (int k = 0; k < 3; ++k) {
        const Edge e = edgeOf(s.x, s.y, k);
        s.at[k] = e.ex * (sub / 2) + e.ey * (sub / 2) + e.c;
        s.dx[k] = e.ex * sub;
        s.dy[k] = e.ey * sub;
    }
    s.area = double(turn < 0 ? -turn : turn);
}

// Which of the at most 2 x 2 samples `box` the middles of t (turning by
// `turn`, not 0) take, bit 2 y + x for sample (i0 + x, j0 + y): the edge
// functions at each, in a few registers, for most such triangles take none.
unsigned tinyInside(const ScreenTriangle& t, const Rect& box, int64_t turn) {
    int64_t x[3], y[3];
    snappedCorners(drawnOrder(t, turn), x, y);
    // edgeOf's functions, with the box's first middle as the origin.
    const int64_t mx = box.i0 * sub + sub / 2, my = box.j0 * sub + sub / 2;
    for (int k = 0; k < 3; ++k) {
        x[k] -= mx;
        y[k] -= my;
    }
    Edge e[3];
    for (int k = 0; k < 3; ++k) e[k] = edgeOf(x, y, k);
    unsigned inside = 0;
    for (int j = 0; j <= box.j1 - box.j0; ++j)
        for (int i = 0; i <= box.i1 - box.i0; ++i) {
            bool in = true;
            for (int k = 0; k < 3; ++k) in &= e[k].ex * (i * sub) + e[k].ey * (j * sub) + e[k].c >= 0;
            inside |= unsigned(in) << (2 * j + i);
        }
    return inside;
}

// The depth plane through the snapped corners, in samples.
void setUpDepth(Setup& s) {
    const int64_t* x = s.x;
    const int64_t* y = s.y;
    const double* z = s.corner;
    const double ax = double(x[1] - x[0]) / sub, ay = double(y[1] - y[0]) / sub;
    const double bx = double(x[2] - x[0]) / sub, by = double(y[2] - y[0]) / sub;
    const double det = ax * by - ay * bx;
    s.zx = ((z[1] - z[0]) * by - (z[2] - z[0]) * ay) / det;
    s.zy = ((z[2] - z[0]) * ax - (z[1] - z[0]) * bx) / det;
    const double x0 = double(x[0]) / sub, y0 = double(y[0]) / sub;
    s.z = z[0] + s.zx * (0.5 - x0) + s.zy * (0.5 - y0);
    s.nearest = float(lesser(lesser(z[0], z[1]), z[2]));
    s.farthest = float(greater(greater(z[0], z[1]), z[2]));
}

// The triangle's depth at the sample nearest to the viewer of a square of
// `side` samples, from that at its top left sample; and edge function k at
// the sample most inside.
double nearestCorner(const Setup& s, int side) {
    return lesser(0.0, (side - 1) * s.zx) + lesser(0.0, (side - 1) * s.zy);
}
int64_t mostInside(const Setup& s, int k, int side) {
    return (side - 1) * (std::max<int64_t>(s.dx[k], 0) + std::max<int64_t>(s.dy[k], 0));
}

Large setUpLarge(const Setup& s) {
    Large l;
    const double nearest = lesser(lesser(s.corner[0], s.corner[1]), s.corner[2]);
    const double perArea = 1 / s.area;  // rounds well within the slack
    for (int k = 0; k < 3; ++k) l.share[k] = (s.corner[k] - nearest) * perArea;
    // drawTile's floats round a dozen times, at most to a value of the
    // corners' depths and 16 steps from sample to sample.
    const double slack = 0x1p-20 * (2 * (std::fabs(s.nearest) + std::fabs(s.farthest)) + 32 * (std::fabs(s.zx) + std::fabs(s.zy)));
    l.nearestLessSlack = nearest - slack;
    l.tileNearest = nearestCorner(s, tile_side);
    for (int k = 0; k < 3; ++k) l.tileInside[k] = mostInside(s, k, tile_side);
    return l;
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
    const double z = s.z + lesser(q.i0 * s.zx, q.i1 * s.zx) + lesser(q.j0 * s.zy, q.j1 * s.zy);
    return std::max(s.nearest, float(z));
}

// Whether the triangle may be nearer than depth `far` on a sample of the
// rectangle that it takes. Where it reaches the rectangle only near an
// edge, the plane is often nearest outside it: each corner's share of the
// depth inside, at least that at the rectangle's sample least inside,
// says more than the plane's nearest over the rectangle.
bool nearerInside(const Setup& s, const Large& l, const Rect& q, float far) {
    double z = l.nearestLessSlack;
    for (int k = 0; k < 3; ++k) {
        const int64_t least = s.at[k] + (s.dx[k] > 0 ? q.i0 : q.i1) * s.dx[k] + (s.dy[k] > 0 ? q.j0 : q.j1) * s.dy[k];
        z += double(std::max<int64_t>(least, 0)) * l.share[k];
    }
    return z < far;
}

// The largest of four lanes.
float largest(Floats4 a) {
    float lanes[4];
    store4(lanes, a);
    return std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
}

// A tile's far depth, taken again from its samples each time it is drawn
// in, and a block's, from its tiles'.
void refreshTile(Raster& r, size_t tile) {
    const float* d = &r.depth[tile * tile_samples];
    Floats4 far = load4(d);
    for (int k = 4; k < tile_samples; k += 4) far = maxOf(far, load4(d + k));
    r.tileFar[tile] = largest(far);
}

void refreshBlock(Raster& r, size_t block) {
    const float* tiles = &r.tileFar[block * tiles_in_block];
    Floats4 far = load4(tiles);
    for (int k = 4; k < tiles_in_block; k += 4) far = maxOf(far, load4(tiles + k));
    r.blockFar[block] = largest(far);
}

// Edge function k at sample (i, j), plus `more`, in 32 bits: across a
// block of a picture of max_raster_side it changes by less than 2^28, so
// that beyond +-2^30 it has one sign all over one.
int32_t edgeAt(const Setup& s, int k, int i, int j, int64_t more = 0) {
    const int64_t e = s.at[k] + i * s.dx[k] + j * s.dy[k] + more;
    return int32_t(std::clamp<int64_t>(e, -(int64_t(1) << 30), int64_t(1) << 30));
}

// What each of 8 lanes adds to the triangle's values at the first of a
// row: tile x of a block's row of tiles, or sample x of a tile's row. A
// row's own share is added to all 8 alike, so that 8 lanes serve 64.
struct Lanes {
    int32_t tile[3][8];    // to each edge function: x 8 dx
    int32_t tileDown[3];   // from a row of tiles to the next: 8 dy
    float zTile[8];        // to the depth: x (8 zx), each factor a float
    float zTileRow[8];     // for row of tiles y: y (8 zy), likewise
    bool samplesMade;      // the samples' below are made (at the first tile drawn on)
    int32_t sample[3][8];  // x dx
    float zSample[8];      // x zx
};

void makeTileLanes(const Setup& s, Lanes& l) {
    // In 32 bits, as in edgeAt.
    for (int k = 0; k < 3; ++k) {
        const auto across = int32_t(tile_side * s.dx[k]);
        for (int x = 0; x < 8; ++x) l.tile[k][x] = x * across;
        l.tileDown[k] = int32_t(tile_side * s.dy[k]);
    }
    const auto across = float(tile_side * s.zx), down = float(tile_side * s.zy);
    for (int x = 0; x < 8; ++x) {
        l.zTile[x] = float(x) * across;
        l.zTileRow[x] = float(x) * down;
    }
    l.samplesMade = false;
}

void makeSampleLanes(const Setup& s, Lanes& l) {
    for (int x = 0; x < 8; ++x) {
        for (int k = 0; k < 3; ++k) l.sample[k][x] = int32_t(x * s.dx[k]);
        l.zSample[x] = float(x * s.zx);
    }
    l.samplesMade = true;
}

// The triangle against the blocks of its bounds, a row at a time: its
// depth at each block's sample nearest to the viewer and its edge
// functions at each block's sample most inside, from block (bi, bj) on.
struct BlockRows {
    int bi, n;                    // the first block of each row, and how many
    float z, zx, zy;              // depth at the first block's, and from block to block
    int64_t e[3], ex[3], ey[3];  // likewise
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
        b.e[k] = s.at[k] + i0 * s.dx[k] + j0 * s.dy[k] + mostInside(s, k, block_side);
        b.ex[k] = block_side * s.dx[k];
        b.ey[k] = block_side * s.dy[k];
    }
    return b;
}

// The blocks of row y of b (0 for its first) that the triangle may be
// drawn on, bit x for the x-th: by the blocks' far depths and the edges.
uint64_t blocksNearer(const Raster& r, const Setup& s, const BlockRows& b, int bj, int y) {
    const float* far = &r.blockFar[size_t(bj) * size_t(r.blocks) + size_t(b.bi)];
    const float zRow = b.z + float(y) * b.zy;
    int64_t e0 = b.e[0] + y * b.ey[0], e1 = b.e[1] + y * b.ey[1], e2 = b.e[2] + y * b.ey[2];
    uint64_t nearer = 0;
    for (int x = 0; x < b.n; ++x, e0 += b.ex[0], e1 += b.ex[1], e2 += b.ex[2]) {
        float z = zRow + float(x) * b.zx;
        z = z > s.nearest ? z : s.nearest;
        nearer |= uint64_t((z < far[x]) & ((e0 | e1 | e2) >= 0)) << x;
    }
    return nearer;
}

// The tiles of a block (bit 8 y + x for tile (x, y)) that the samples q
// within it lie in: a mask of a row's, repeated in q's rows by a multiply
// of one bit a byte.
uint64_t tilesOf(const Rect& q) {
    const int x0 = q.i0 % block_side / tile_side, x1 = q.i1 % block_side / tile_side;
    const int y0 = q.j0 % block_side / tile_side, y1 = q.j1 % block_side / tile_side;
    const uint64_t row = ((uint64_t(1) << (x1 - x0 + 1)) - 1) << x0;
    const uint64_t rows = uint64_t(0x0101010101010101) >> (block_tiles * (block_tiles - 1 - (y1 - y0))) << (block_tiles * y0);
    return rows * row;
}

// The tiles of the block whose top left sample is (i0, j0), among the
// samples q, that the triangle may be drawn on, bit t for tile t: by the
// tiles' far depths, against its depth at each tile's sample nearest to
// the viewer, and by its edge functions at each tile's sample most inside.
// The rows of tiles of q, 8 tiles at once.
uint64_t tilesNearer(const Raster& r, const Setup& s, const Large& large, const Lanes& l, size_t block, int i0,
                     int j0, const Rect& q) {
    const Floats4 zAt = splat4(float(s.z + i0 * s.zx + j0 * s.zy + large.tileNearest));
    const Floats4 nearest = splat4(s.nearest);
    const float* far = &r.tileFar[block * tiles_in_block];
    const int y0 = (q.j0 - j0) / tile_side, y1 = (q.j1 - j0) / tile_side;
    // Each edge function at the 8 tiles of a row, 4 at a time, carried
    // from row to row by a sum: it wraps around alike.
    Ints4 e[3][2], down[3];
    for (int k = 0; k < 3; ++k) {
        const Ints4 first = splat4(int32_t(uint32_t(edgeAt(s, k, i0, j0, large.tileInside[k])) + uint32_t(y0 * l.tileDown[k])));
        e[k][0] = first + load4(l.tile[k]);
        e[k][1] = first + load4(l.tile[k] + 4);
        down[k] = splat4(l.tileDown[k]);
    }
    uint64_t pass = 0;
    for (int y = y0; y <= y1; ++y) {
        const Floats4 zDown = splat4(l.zTileRow[y]);  // the row's share of the depth, then each tile's
        unsigned row = 0;
        for (int h = 0; h < 2; ++h) {
            const Floats4 z = maxOf(zAt + (load4(l.zTile + 4 * h) + zDown), nearest);
            row |= lessAndNotSignBits(z, load4(far + 8 * y + 4 * h), e[0][h] | e[1][h] | e[2][h]) << (4 * h);
            for (int k = 0; k < 3; ++k) e[k][h] = e[k][h] + down[k];
        }
        pass |= uint64_t(row) << (block_tiles * y);
    }
    return pass & tilesOf(q);
}

// The triangle's colour, taken at its first sample drawn.
struct Paint {
    const ScreenTriangle& t;
    const Shades& shades;
    uint32_t colour = 0;  // 0 until taken
};

uint32_t colourOf(Paint& p) {
    if (!p.colour) {
        double c[3][3];
        for (int k = 0; k < 3; ++k)
            for (int a = 0; a < 3; ++a) c[k][a] = p.t.corner[k]->at[a];
        p.colour = p.shades.colour[shadeLevel(c[0], c[1], c[2])];
    }
    return p.colour;
}

// The triangle's depth at 8 samples of a row of a tile, from zRow at the
// first, kept within the corners' own: as drawTile tests and draws it.
void rowDepths(const Setup& s, const Lanes& l, float zRow, Floats4 z[2]) {
    for (int h = 0; h < 2; ++h)
        z[h] = minOf(maxOf(splat4(zRow) + load4(l.zSample + 4 * h), splat4(s.nearest)), splat4(s.farthest));
}

// Draws the triangle on the samples q of one tile, whose top left sample
// is (i0, j0): first which samples of q's rows it takes, 8 at a time,
// then, only if it takes any, their depth and colour, since most tiles
// tried take none. Returns whether it took any.
bool drawTile(Raster& r, const Setup& s, Lanes& l, size_t tile, int i0, int j0, const Rect& q, Paint& paint) {
    if (!l.samplesMade) makeSampleLanes(s, l);
    float* depth = &r.depth[tile * tile_samples];
    const unsigned columns = ((1u << (q.i1 - q.i0 + 1)) - 1) << (q.i0 - i0);
    // The edge functions at the row's samples, 4 at a time; within a tile
    // they change by less than 2^28, as in edgeAt.
    Ints4 e[3][2], down[3];
    for (int k = 0; k < 3; ++k) {
        const Ints4 first = splat4(edgeAt(s, k, i0, q.j0));
        e[k][0] = first + load4(l.sample[k]);
        e[k][1] = first + load4(l.sample[k] + 4);
        down[k] = splat4(int32_t(s.dy[k]));
    }
    const auto zFirst = float(s.z + i0 * s.zx + q.j0 * s.zy);  // near the tile, where floats are exact enough
    const auto zDown = float(s.zy);
    float zRow = zFirst;
    uint64_t taken = 0;  // bit 8 y + x for sample (x, y) of the tile
    for (int y = q.j0 - j0; y <= q.j1 - j0; ++y, zRow += zDown) {
        Floats4 z[2];
        rowDepths(s, l, zRow, z);
        unsigned row = 0;
        for (int h = 0; h < 2; ++h) {
            row |= lessAndNotSignBits(z[h], load4(depth + tile_side * y + 4 * h), e[0][h] | e[1][h] | e[2][h]) << (4 * h);
            for (int k = 0; k < 3; ++k) e[k][h] = e[k][h] + down[k];
        }
        taken |= uint64_t(row & columns) << (tile_side * y);
    }
    if (!taken) return false;
    const uint32_t colour = colourOf(paint);
    uint32_t* out = &r.colour[tile * tile_samples];
    zRow = zFirst;
    for (int y = q.j0 - j0; y <= q.j1 - j0; ++y, zRow += zDown) {
        const unsigned row = unsigned(taken >> (tile_side * y)) & 0xFF;
        if (!row) continue;
        Floats4 z[2];
        rowDepths(s, l, zRow, z);
        for (int h = 0; h < 2; ++h) {
            const unsigned four = row >> (4 * h) & 15;
            storeWhere(depth + tile_side * y + 4 * h, four, z[h]);
            storeWhere(out + tile_side * y + 4 * h, four, colour);
        }
    }
    refreshTile(r, tile);
    return true;
}

// The block a sample lies in, and the tile of that block.
size_t blockOf(const Raster& r, int i, int j) { return size_t(j / block_side) * size_t(r.blocks) + size_t(i / block_side); }
int tileOf(int i, int j) { return j % block_side / tile_side * block_tiles + i % block_side / tile_side; }

// A triangle within 2 x 2 tiles, as most of a fine mesh's are, tried on
// those tiles alone.
bool drawSmall(Raster& r, const Setup& s, Paint& paint) {
    Lanes lanes;
    lanes.samplesMade = false;
    bool drew = false;
    for (int j0 = s.box.j0 / tile_side * tile_side; j0 <= s.box.j1; j0 += tile_side)
        for (int i0 = s.box.i0 / tile_side * tile_side; i0 <= s.box.i1; i0 += tile_side) {
            const size_t block = blockOf(r, i0, j0), tile = block * tiles_in_block + size_t(tileOf(i0, j0));
            const Rect q = clip(s.box, i0, j0, tile_side);
            if (outside(s, q) || !(nearestOver(s, q) < r.tileFar[tile])) continue;
            if (!drawTile(r, s, lanes, tile, i0, j0, q, paint)) continue;
            refreshBlock(r, block);
            drew = true;
        }
    return drew;
}

// A triangle whose bounds hold at most 2 x 2 sample middles, as most of a
// fine mesh's do in a small picture, drawn on the samples of `inside`
// (tinyInside's), each alone. Draws what drawSmall would, bit for bit: the
// same tests of a tile, the same float sums.
bool drawTiny(Raster& r, const Setup& s, Paint& paint, unsigned inside) {
    bool drew = false;
    for (int j0 = s.box.j0 / tile_side * tile_side; j0 <= s.box.j1; j0 += tile_side)
        for (int i0 = s.box.i0 / tile_side * tile_side; i0 <= s.box.i1; i0 += tile_side) {
            const Rect q = clip(s.box, i0, j0, tile_side);
            unsigned mine = 0;  // the samples inside that lie in this tile
            for (int j = q.j0; j <= q.j1; ++j)
                for (int i = q.i0; i <= q.i1; ++i) mine |= inside & 1u << (2 * (j - s.box.j0) + i - s.box.i0);
            const size_t block = blockOf(r, i0, j0), tile = block * tiles_in_block + size_t(tileOf(i0, j0));
            if (!mine || !(nearestOver(s, q) < r.tileFar[tile])) continue;
            // As drawTile sums them: from its first row, a row down at a time.
            const auto zFirst = float(s.z + i0 * s.zx + q.j0 * s.zy);
            float* depth = &r.depth[tile * tile_samples];
            bool took = false;
            for (int j = q.j0; j <= q.j1; ++j)
                for (int i = q.i0; i <= q.i1; ++i) {
                    if (!(mine >> (2 * (j - s.box.j0) + i - s.box.i0) & 1)) continue;
                    const float zRow = j == q.j0 ? zFirst : zFirst + float(s.zy);
                    float z = zRow + float((i - i0) * s.zx);
                    z = z > s.nearest ? z : s.nearest;
                    z = z < s.farthest ? z : s.farthest;
                    const int at = (j - j0) * tile_side + i - i0;
                    if (!(z < depth[at])) continue;
                    depth[at] = z;
                    r.colour[tile * tile_samples + size_t(at)] = colourOf(paint);
                    took = true;
                }
            if (!took) continue;
            refreshTile(r, tile);
            refreshBlock(r, block);
            drew = true;
        }
    return drew;
}

// A larger triangle, tried on the blocks of its bounds, then on the tiles
// of those it may be drawn on.
bool drawLarge(Raster& r, const Setup& s, Paint& paint) {
    const Large large = setUpLarge(s);
    Lanes lanes;
    makeTileLanes(s, lanes);
    bool drew = false;
    const int bi0 = s.box.i0 / block_side, bi1 = s.box.i1 / block_side, bj0 = s.box.j0 / block_side;
    const BlockRows rows = blockRows(s, bi0, bj0, bi1 - bi0 + 1);
    for (int bj = bj0; bj <= s.box.j1 / block_side; ++bj) {
        for (uint64_t blocks = blocksNearer(r, s, rows, bj, bj - bj0); blocks; blocks &= blocks - 1) {
            const int bi = bi0 + std::countr_zero(blocks);
            const Rect inBlock = clip(s.box, bi * block_side, bj * block_side, block_side);
            const size_t block = size_t(bj) * size_t(r.blocks) + size_t(bi);
            bool blockDrawn = false;
            for (uint64_t tiles = tilesNearer(r, s, large, lanes, block, bi * block_side, bj * block_side, inBlock);
                 tiles; tiles &= tiles - 1) {
                const int k = std::countr_zero(tiles);
                const int i0 = bi * block_side + k % block_tiles * tile_side;
                const int j0 = bj * block_side + k / block_tiles * tile_side;
                const size_t tile = block * tiles_in_block + size_t(k);
                const Rect q = clip(inBlock, i0, j0, tile_side);
                if (nearerInside(s, large, q, r.tileFar[tile]))
                    blockDrawn = drawTile(r, s, lanes, tile, i0, j0, q, paint) || blockDrawn;
            }
            if (blockDrawn) {
                refreshBlock(r, block);
                drew = true;
            }
        }
    }
    return drew;
}

// Draws t, whose corners turn by `turn` (not 0), on the samples of `box`
// (those of `inside` where the box is tiny): with its set-up, kept out of
// drawTriangle, which turns most triangles away in a few registers.
NOT_INLINED bool drawSetUp(Raster& r, const ScreenTriangle& t, const Shades& shades, const Rect& box, int64_t turn,
                           unsigned inside) {
    Setup s;
    (inside ? setUpCorners : setUpEdges)(t, box, turn, s);
    setUpDepth(s);
    Paint paint{t, shades};
    if (inside) return drawTiny(r, s, paint, inside);
    const bool small = box.i1 / tile_side - box.i0 / tile_side <= 1 && box.j1 / tile_side - box.j0 / tile_side <= 1;
    return small ? drawSmall(r, s, paint) : drawLarge(r, s, paint);
}

}  // namespace

void snapPoint(const Raster& r, ScreenPoint& p) {
    assert(r.side > 0);
    // A point far past the picture is brought nearer it: what shows of a
    // triangle on it then moves, but framing places no point there.
    const double lo = -r.side, hi = 2.0 * r.side;
    for (int c = 0; c < 2; ++c) p.snap[c] = int32_t(snapped(lesser(greater(p.at[c], lo), hi)));
}

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
}

bool drawTriangle(Raster& r, const ScreenTriangle& t, const Shades& shades) {
    const int32_t* const p[3] = {t.corner[0]->snap, t.corner[1]->snap, t.corner[2]->snap};
    const Rect box = middlesWithin(r, p);
    if (box.i0 > box.i1 || box.j0 > box.j1) return false;
    const int64_t turn = turnOf(p);
    if (turn == 0) return false;
    const bool tiny = box.i1 - box.i0 <= 1 && box.j1 - box.j0 <= 1;
    const unsigned inside = tiny ? tinyInside(t, box, turn) : 0;
    if (tiny && !inside) return false;
    return drawSetUp(r, t, shades, box, turn, inside);
}

}  // namespace quarlen
