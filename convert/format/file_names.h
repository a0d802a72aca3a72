// The file names a run and a batch work with: the extension test, the
// output's name made from the input's, the material file's beside it.
#pragma once

#include <string>

namespace quarlen {

// True when the last four characters of name equal ext (four characters, such
// as ".rsr"), letters a to z compared without regard to case. Shorter names
// never match.
bool hasExtension(const char* name, const char* ext);

// NAME.rsr becomes NAME.obj (or NAME.glb): name without its last four
// characters, then extension. name must have four characters at least.
std::string withExtension(const std::string& name, const char* extension);

// NAME.mtl for the output NAME.obj: File with its last 4 characters replaced
// by ".mtl". Empty when File is shorter than that or is "-" (a stream).
std::string mtlPathFor(const char* File);

// The part of path after its last folder separator.
const char* baseName(const char* path);

}  // namespace quarlen
