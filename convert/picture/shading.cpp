#include "convert/picture/shading.h"

#include <cmath>

#include "convert/options/material_colours.h"

namespace quarlen {

namespace {

// The page's lights (web/src/scene.js): an ambient light and one from the
// camera, on a Lambert surface (three.js divides its colour by pi).
constexpr double ambient = 0.6, from_camera = 2.2, pi = 3.14159265358979323846;

// std::lround(x) for x from 0 to 2^31: a picture rounds some ten thousand
// values, and WebAssembly has no instruction for lround.
int roundedNonNegative(double x) {
    const int whole = int(x);  // exact: x - whole is too
    return whole + int(x - whole >= 0.5);
}

double srgbEncoded(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

// Linear light from 0 to 1 in shade_steps steps, as 8-bit sRGB.
constexpr int shade_steps = 4096;
struct SrgbTable {
    unsigned char byte[shade_steps];
};

// A constant, made once at its first use (thread-safe): made for each
// picture, it cost a small model's picture more than its drawing did.
const SrgbTable& srgbTable() {
    static const SrgbTable table = [] {
        SrgbTable t;
        for (int i = 0; i < shade_steps; ++i)
            t.byte[i] = static_cast<unsigned char>(roundedNonNegative(255 * srgbEncoded(double(i) / (shade_steps - 1))));
        return t;
    }();
    return table;
}

}  // namespace

void groupColour(int64_t material, float linear[3]) {
    if (material < 0) {
        // The page's 0xb8b8b0 (scene.js), an sRGB colour, in linear factors.
        linear[0] = linear[1] = 0.4793f;
        linear[2] = 0.4342f;
        return;
    }
    // The run's material colours, taken as linear factors as the GLB's
    // base colours are (glb/scene_json.cpp).
    unsigned char rgb[3];
    materialColour(size_t(material), rgb);
    for (int k = 0; k < 3; ++k) linear[k] = rgb[k] / 255.0f;
}

void makeShades(const float linear[3], Shades& s) {
    const SrgbTable& t = srgbTable();
    for (int level = 0; level < 256; ++level) {
        const double light = (ambient + from_camera * level / 255.0) / pi;
        unsigned c[3];
        for (int k = 0; k < 3; ++k) {
            const double v = std::fmin(1.0, linear[k] * light);
            c[k] = t.byte[roundedNonNegative(v * (shade_steps - 1))];
        }
        s.colour[level] = packColour(c[0], c[1], c[2]);
    }
}

int shadeLevel(const double a[3], const double b[3], const double c[3]) {
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    // Corners snapped to the samples can make some area of a line.
    return length > 0 ? roundedNonNegative(255 * std::fabs(n[2]) / length) : 255;
}

}  // namespace quarlen
