// Writing a binary glTF 2.0 file (.glb) instead of OBJ text: one node and
// one mesh per group, one primitive per material (and per presence of
// texture corners) in the group, triangles as --clean --triangulate make
// them, coordinates scaled into metres.
//
// The file's JSON part comes first and must give every accessor's place and
// bounds, so each group's binary data goes to a spill (a temporary file, or
// memory where there is none) as the group is read, with only its small
// description kept; the whole file is written once the input has been read.
// Memory stays bounded by the largest group.
#pragma once

#include <cstdint>
#include <memory>

#include "convert/format/group_writer.h"
#include "convert/format/output.h"

namespace quarlen {

struct InfoCount;

// The GLB writer of a run, which multiplies every coordinate by scale
// (effectiveScale of the run's options). spillInMemory keeps the binary
// data in memory rather than in a temporary file, which is also where it
// goes when no temporary file can be made. A large group's primitives are
// laid out on `threads` threads as RunRequest::threads and chunk say; the
// bytes are the same for any number. Given a count, the writer counts each
// group into it for --info as it walks the group's facets (on one thread).
std::unique_ptr<GroupWriter> glbWriter(Output& out, double scale, bool spillInMemory = false, unsigned threads = 1,
                                       uint32_t chunk = 0, InfoCount* count = nullptr);

}  // namespace quarlen
