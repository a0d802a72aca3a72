// Opt-in changes to the OBJ output for today's readers, or a binary glTF
// file instead: what the writers read. With every field at its default the
// output is the traditional one, byte for byte.
#pragma once

namespace quarlen {

struct OutputOptions {
    bool clean = false;        // leave out what strict readers refuse
    bool mtl = false;          // write NAME.mtl beside NAME.obj and refer to it
    bool weld = false;         // write bit-identical points once for the whole file
    bool triangulate = false;  // fan facets of more than 3 corners into triangles
    bool zUp = false;          // (x, y, z) becomes (x, -z, y)
    bool lf = false;           // LF line ends instead of CR LF
    bool exact = false;        // shortest float text that reads back the same
    double scale = 1.0;        // every coordinate is multiplied by it
    bool scaleGiven = false;   // scale was asked for (a GLB is otherwise in metres)
    bool glb = false;          // a binary glTF file (.glb) instead of OBJ text
};

// What each option means for parsing, help and conflicts is in
// option_table.h.

}  // namespace quarlen
