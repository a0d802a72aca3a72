// The console program's output options (--clean, --mtl, --weld, ...) and
// the --info report.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "convert/run/run.h"
#include "convert/options/output_options.h"

namespace quarlen {

struct InfoReport;

// Reads the output option at argv[i], and its value if it takes one.
// Returns how many entries it took: 0 when argv[i] is no output option, -1
// for a missing or bad value (a usage error; error says why).
int parseOutputFlag(int argc, char** argv, int i, OutputOptions& o, bool& info, std::string& error);

// The usage error of options that cannot go together: --mtl with an output
// to a stream (toStream, the output "-"), or --info with an output option.
// Null when they can.
const char* outputFlagsConflict(const OutputOptions& o, bool info, bool toStream);

// The --help lines of the output options.
extern const char* const output_flags_help;

// Prints for each input its groups and what --clean would change, then a
// total line, on standard output; failures go to standard error as in a
// conversion. Returns 0 when every input was read in full, else 1.
int printInfo(const std::vector<std::string>& inputs);
int printInfo(const std::vector<std::string>& inputs, FILE* out, NoticeSink notices);

// What one file's report counts.
struct InfoSums {
    int64_t groups = 0, points = 0, textureVertices = 0, facets = 0;
};

// One input's part of the --info report, from inspectRSR's report and
// outcome: its groups, what --clean would change, and its counts.
InfoSums printFileInfo(FILE* out, const std::string& input, const InfoReport& report, RunOutcome outcome);

}  // namespace quarlen
