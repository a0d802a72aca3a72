// --info: what a file holds, group by group, and what --clean would change
// in it, without writing anything.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "convert/clean.h"
#include "convert/conversion.h"

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

// Adds one fully read group. False when memory runs out.
bool addInfoGroup(InfoReport& report, const char* name, const Group& g);

// Reads file as a conversion does, with the same failure notices, and
// describes it in report. Shows no "Finished" notice and writes no file.
// The outcome is finished, failed or input_not_opened.
RunResult inspectRSR(const char* file, InfoReport& report, const NoticeSink& sink = {});
