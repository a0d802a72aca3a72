// How a triangle is coloured: in its group's colour as the page's view
// shows the GLB (each node in its first primitive's material colour), lit
// as the page lights a model, from the viewer: ambient light 0.6 and a
// light from the camera 2.2 on a Lambert surface, in linear light, written
// as sRGB. A triangle faced straight on is lightest; one seen edge-on
// keeps the ambient part.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarlen {

// A sample's colour: red, green and blue in the low three bytes and an
// opaque alpha above them; 0 is a sample where nothing is drawn.
inline uint32_t packColour(unsigned r, unsigned g, unsigned b) { return r | g << 8 | b << 16 | 0xFF000000u; }

// The colour of a group whose first facet drawn is under material number
// `material` of the run (materialColour's index in
// options/material_colours.h: the GLB's base colour), or under none (-1:
// the grey the page draws a model without materials in), as linear
// factors.
void groupColour(int64_t material, float linear[3]);

// A group's colour at each of 256 levels of how squarely a triangle faces
// the viewer (shadeLevel), packed.
struct Shades {
    uint32_t colour[256];
};
void makeShades(const float linear[3], Shades& s);

// How squarely the triangle with corners a, b and c (x, y, depth, in one
// unit) faces the viewer, from 0 (edge-on) to 255 (straight on), whichever
// side faces the viewer.
int shadeLevel(const double a[3], const double b[3], const double c[3]);

}  // namespace quarlen
