// --info: what a file holds, group by group, and what --clean would change
// in it, without writing anything. A run given a report describes its
// input into it instead of writing an output.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convert/options/clean.h"
#include "convert/format/group_writer.h"

namespace quarlen {

struct InfoGroup {
    std::string name;  // as stored
    int32_t points = 0, textureVertices = 0;
    std::map<int32_t, int64_t> facets;   // how many facets have each stored corner count
    std::vector<std::string> materials;  // the group's material names, as stored
};

struct InfoReport {
    std::vector<InfoGroup> groups;  // every group read in full
    CleanCounts problems;           // what --clean would change
};

// The writer of a run that describes: each group read in full goes into
// the report.
std::unique_ptr<GroupWriter> reportWriter(InfoReport& report);

// A writer that hands each group to writer and, once writer has taken it,
// describes it into report: a conversion that counts what it converted.
std::unique_ptr<GroupWriter> reportingWriter(InfoReport& report, std::unique_ptr<GroupWriter> writer);

}  // namespace quarlen
