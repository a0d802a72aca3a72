// Where a picture looks from and how a model fills it: the page's first
// view of a model (web/src/scene.js: the camera at polar angle 1.1 and
// azimuth 0.6 about the model, Y up), drawn orthographic and fitted to the
// extent of the model's finite points along the view's axes.
#pragma once

#include <cmath>

namespace quarlen {

// The view's axes in the model's coordinates, each of unit length.
struct ViewAxes {
    double right[3];   // the picture's x, to the right
    double up[3];      // the picture's y, upwards
    double toward[3];  // from the model to the viewer
};

ViewAxes pageView();

// The extent of points along the view's axes (right, up, toward), as
// viewCoordinate gives them.
struct ViewBounds {
    double lo[3] = {INFINITY, INFINITY, INFINITY};
    double hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    bool any = false;  // some point was added
};

// Point p's coordinate along axis a.
inline double viewCoordinate(const double a[3], const float p[3]) {
    return double(p[0]) * a[0] + double(p[1]) * a[1] + double(p[2]) * a[2];
}

// Adds point p, whose coordinates are finite.
inline void addPoint(ViewBounds& b, const ViewAxes& v, const float p[3]) {
    const double* axes[3] = {v.right, v.up, v.toward};
    for (int k = 0; k < 3; ++k) {
        const double c = viewCoordinate(axes[k], p);
        b.lo[k] = c < b.lo[k] ? c : b.lo[k];
        b.hi[k] = c > b.hi[k] ? c : b.hi[k];
    }
    b.any = true;
}

// Where points land among a picture's samples, `side` on each side:
// x to the right and y downwards from the top left corner, depth away
// from the viewer from the nearest point (0), all three in samples.
// Each coordinate is a point's coordinate along an axis times scale,
// plus an offset.
struct Frame {
    double x[3], y[3], depth[3];  // the axes, scaled (y and depth turned round)
    double offset[3];             // added to x, y and depth
    int side;                     // samples on each side of the picture
};

// The margin of a picture of n pixels on each side, in pixels on each of
// its four sides: the model's extent fills the rest across its larger
// dimension, centred.
inline double pictureMargin(int n) { return n / 32.0; }

// Fits points within b to a picture of `pixels` on each side with
// `perPixel` samples on each side of a pixel. b may be empty.
Frame fitFrame(const ViewBounds& b, const ViewAxes& v, int pixels, int perPixel);

// Point p's place in the frame, in samples; p is finite.
inline void framePoint(const Frame& f, const float p[3], double s[3]) {
    s[0] = viewCoordinate(f.x, p) + f.offset[0];
    s[1] = viewCoordinate(f.y, p) + f.offset[1];
    s[2] = viewCoordinate(f.depth, p) + f.offset[2];
}

}  // namespace quarlen
