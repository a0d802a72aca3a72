// The output options read from the words the user typed, checked for
// conflicts and explained, all from the table in option_table.h.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "convert/run/run.h"
#include "convert/options/option_table.h"

namespace quarlen {


// Reads the output option at argv[i], and its value if it takes one.
// Returns how many entries it took: 0 when argv[i] is no output option, -1
// for a missing or bad value (a usage error; error says why).
int parseOutputFlag(int argc, char** argv, int i, OutputOptions& o, bool& info, std::string& error);

// The usage error of options that cannot go together: --mtl with an output
// to a stream (toStream, the output "-"), or --info with an output option.
// Null when they can.
const char* outputFlagsConflict(const OutputOptions& o, bool info, bool toStream);

// The --help lines of the output options.
std::string outputOptionsHelp();

// The output options as the web page builds its controls from them:
// {"options":[{"name","field","takesValue","withGlb","default","help"},...]},
// the scale's row with "glbDefault" as well; help on one line.
std::string optionTableJson();

}  // namespace quarlen
