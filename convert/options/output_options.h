// Opt-in changes to the OBJ output for today's readers, or a binary glTF
// file instead. With every field at its default the output is the
// traditional one, byte for byte.
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

inline bool traditional(const OutputOptions& o) {
    return !o.clean && !o.mtl && !o.weld && !o.triangulate && !o.zUp && !o.lf && !o.exact &&
           o.scale == 1.0 && !o.glb;
}

// The extension of the output's name, ".glb" or ".obj".
inline const char* outputExtension(const OutputOptions& o) { return o.glb ? ".glb" : ".obj"; }

// True when the options write a file beside the output (NAME.mtl), which an
// output to a stream such as standard output cannot have.
inline bool needsFileName(const OutputOptions& o) { return o.mtl; }

}  // namespace quarlen
