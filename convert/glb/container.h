// The GLB container: a 12-byte header ("glTF", version 2, the file's
// length), the JSON chunk, padded with spaces, and the binary chunk when
// there is data; every chunk a multiple of 4 bytes, the whole file under
// 4 GiB, all numbers little-endian.
#pragma once

#include <string>

#include "convert/glb/spill.h"
#include "convert/format/output.h"

namespace quarlen {

// Writes the whole file to out: json as the JSON chunk (padded here), the
// spill's bytes, a multiple of 4, as the binary chunk. False, with errno
// set, when the file would pass 4 GiB (nothing is written then) or the
// data cannot be read back from the spill.
bool writeGlb(Output& out, std::string json, GlbSpill& binary);

}  // namespace quarlen
