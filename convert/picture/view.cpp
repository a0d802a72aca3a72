#include "convert/picture/view.h"

#include <cassert>

namespace quarlen {

ViewAxes pageView() {
    // The camera's place about the model as three.js's Spherical(r, phi,
    // theta) gives it, and the axes its lookAt makes with Y up.
    const double phi = 1.1, theta = 0.6;
    ViewAxes v{};
    v.toward[0] = std::sin(phi) * std::sin(theta);
    v.toward[1] = std::cos(phi);
    v.toward[2] = std::sin(phi) * std::cos(theta);
    // right = (0, 1, 0) x toward, made unit; up = toward x right.
    const double across = std::hypot(v.toward[2], v.toward[0]);
    v.right[0] = v.toward[2] / across;
    v.right[1] = 0;
    v.right[2] = -v.toward[0] / across;
    v.up[0] = v.toward[1] * v.right[2] - v.toward[2] * v.right[1];
    v.up[1] = v.toward[2] * v.right[0] - v.toward[0] * v.right[2];
    v.up[2] = v.toward[0] * v.right[1] - v.toward[1] * v.right[0];
    return v;
}

Frame fitFrame(const ViewBounds& b, const ViewAxes& v, int pixels, int perPixel) {
    assert(pixels > 0 && perPixel > 0);
    Frame f{};
    f.side = pixels * perPixel;
    const double fill = (pixels - 2 * pictureMargin(pixels)) * perPixel;
    const double wide = b.any ? std::fmax(b.hi[0] - b.lo[0], b.hi[1] - b.lo[1]) : 0;
    const double scale = wide > 0 ? fill / wide : 1;
    const double middle[2] = {b.any ? (b.lo[0] + b.hi[0]) / 2 : 0, b.any ? (b.lo[1] + b.hi[1]) / 2 : 0};
    for (int k = 0; k < 3; ++k) {
        f.x[k] = v.right[k] * scale;
        f.y[k] = -v.up[k] * scale;
        f.depth[k] = -v.toward[k] * scale;
    }
    f.offset[0] = f.side / 2.0 - middle[0] * scale;
    f.offset[1] = f.side / 2.0 + middle[1] * scale;
    f.offset[2] = b.any ? b.hi[2] * scale : 0;
    return f;
}

}  // namespace quarlen
