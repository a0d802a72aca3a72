// The output options as a front end takes them from the words typed: read,
// checked for conflicts and explained, all from the option table.
#pragma once

#include <string>

#include "convert/options/option_table.h"

namespace quarlen {

// Reads the output option at argv[i], and its value if it takes one, into
// `to`. Returns how many entries it took: 0 when argv[i] is no output
// option, -1 for a missing or bad value (a usage error; error says why).
int readOutputOption(int argc, char** argv, int i, OptionsRead& to, std::string& error);

// The usage error of options that cannot go together: --info with an
// output option, a flag with one it does not go with (--glb with --mtl;
// --png's only when the picture is the output written), an option without
// the one it applies to (--size without --png), or --mtl with an output to
// a stream (toStream, the output "-"). Empty when they can. o are the
// options of the run (withOutputName's).
std::string outputFlagsConflict(const OutputOptions& o, bool info, bool toStream);

// The --help lines of the output options.
std::string outputOptionsHelp();

}  // namespace quarlen
