// The OBJ writer. With every option at its default it writes the
// traditional output: six-digit %g text, CR LF line ends (an LF inside a
// name too), facets with global 1-based numbering, the closing comments
// after the "Finished" notice, and on a bad value the line written so far,
// up to the last corner in range. Output options change those rules where
// they say so: clean, weld and triangulate, scale, axis, line ends, float
// text and the material file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "convert/format/group_writer.h"
#include "convert/options/output_options.h"
#include "convert/format/output.h"

namespace quarlen {

struct InfoCount;

// Where the material file of --mtl goes: `name` is NAME.mtl for the output
// NAME.obj, which the "mtllib" line names; the file is written at that path
// or, given a sink, into it. An empty name: no material file.
struct MaterialFile {
    std::string name;  // NAME.mtl, or empty: none
    ByteSink sink;     // where it goes, or unset: to the file `name`
};

// The writer of an OBJ run. Writes the "mtllib" line at once when there is
// a material file. Large groups are formatted on `threads` threads, the
// caller's included (0: one per core, at most two), in chunks of about
// `chunk` lines or corners (0: the default). Given a count, the writer
// counts each group into it for --info as it walks the group's facets, on
// the caller's thread alone.
std::unique_ptr<GroupWriter> objWriter(Output& out, const OutputOptions& o, MaterialFile mtl, unsigned threads,
                                       uint32_t chunk, InfoCount* count = nullptr);

}  // namespace quarlen
