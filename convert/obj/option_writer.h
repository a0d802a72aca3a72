// Writing OBJ text with output options: the same line forms as the
// traditional writer, after clean, weld and triangulate, with scale, axis,
// line ends and float text as asked. The traditional output never comes
// through here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "convert/format/group_writer.h"
#include "convert/options/output_options.h"
#include "convert/format/output.h"

namespace quarlen {

// Where the material file of --mtl goes: `name` is NAME.mtl for the output
// NAME.obj, which the "mtllib" line names; the file is written at that path
// or, given a sink, into it. An empty name: no material file.
struct MaterialFile {
    std::string name;
    ByteSink sink;
};

// The writer of a run with output options. Writes the "mtllib" line at
// once when there is a material file. Large groups are formatted on
// `threads` threads in chunks of about `chunk` lines or corners, as the
// traditional writer does it (0: the defaults).
std::unique_ptr<GroupWriter> optionWriter(Output& out, const OutputOptions& o, MaterialFile mtl, unsigned threads,
                                          uint32_t chunk);

}  // namespace quarlen
