// The --info report as the console program prints it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "convert/run/run.h"

namespace quarlen {

struct InfoReport;

// Prints for each input its groups and what --clean would change, then a
// total line, on standard output; failures go to standard error as in a
// conversion. Returns 0 when every input was read in full, else 1.
int printInfo(const std::vector<std::string>& inputs);
int printInfo(const std::vector<std::string>& inputs, FILE* out, NoticeSink notices);

// What one file's report counts.
struct InfoSums {
    int64_t groups = 0;           // groups read in full
    int64_t points = 0;           // their points
    int64_t textureVertices = 0;  // their texture vertices
    int64_t facets = 0;           // their facets
};

// One input's part of the --info report, from inspectRSR's report and
// outcome: its groups, what --clean would change, and its counts.
InfoSums printFileInfo(FILE* out, const std::string& input, const InfoReport& report, RunOutcome outcome);

}  // namespace quarlen
