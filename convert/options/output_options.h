// Opt-in changes to the OBJ output for today's readers, or a binary glTF
// file or a picture instead: what the writers read. With every field at its
// default the output is the traditional one, byte for byte.
#pragma once

#include <optional>

namespace quarlen {

// One Poser unit in metres (since Poser 6, 8.6 feet): a GLB's scale unless
// --scale gives one.
inline constexpr double poser_unit_metres = 2.62128;

inline constexpr int default_picture_size = 256;  // --size unless given, pixels on each side
inline constexpr int max_picture_size = 1024;     // the largest --size

struct OutputOptions {
    bool clean = false;        // leave out what strict readers refuse
    bool mtl = false;          // write NAME.mtl beside NAME.obj and refer to it
    bool weld = false;         // write bit-identical points once for the whole file
    bool triangulate = false;  // fan facets of more than 3 corners into triangles
    bool zUp = false;          // (x, y, z) becomes (x, -z, y)
    bool lf = false;           // LF line ends instead of CR LF
    bool exact = false;        // shortest float text that reads back the same
    std::optional<double> scale = std::nullopt;  // --scale: every coordinate is multiplied by it
    bool glb = false;          // a binary glTF file (.glb) instead of OBJ text
    bool png = false;          // a picture of the model (.png) instead of any other output
    int pictureSize = default_picture_size;  // the picture's width and height in pixels, 1 to max_picture_size
};

// The factor every coordinate is multiplied by: the one asked for, else 1
// for OBJ text and Poser units to metres for a GLB.
inline double effectiveScale(const OutputOptions& o) { return o.scale.value_or(o.glb ? poser_unit_metres : 1.0); }

// What each option means for parsing, help and conflicts is in
// option_table.h.

}  // namespace quarlen
