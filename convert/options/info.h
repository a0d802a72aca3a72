// --info: what a file holds, group by group, and what --clean would change
// in it. The counts are taken in the one walk over a group's facets that
// the run's writer makes: the report's own writer, which writes nothing,
// or an output's writer that is handed an InfoCount. The run adds a group
// to the report once its writer has taken the group in full.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convert/options/clean.h"
#include "convert/options/materials_written.h"
#include "convert/format/group_writer.h"

namespace quarlen {

struct InfoGroup {
    std::string name;  // as stored
    int32_t points = 0;           // np
    int32_t textureVertices = 0;  // nt
    std::map<int32_t, int64_t> facets;   // how many facets have each stored corner count
    std::vector<std::string> materials;  // the group's material names, as stored
};

struct InfoReport {
    std::vector<InfoGroup> groups;  // every group read in full
    CleanCounts problems;           // what --clean would change
};

// The counts of the group being written, as the OBJ writer with --clean
// alone would count them.
struct InfoCount {
    InfoGroup group;                      // the group as counted so far
    CleanCounts problems;                 // what --clean would change in it
    std::vector<unsigned char> badPoint;  // its points with a non-finite coordinate
    std::vector<unsigned char> badTex;    // its texture vertices likewise
    Numbering n;                          // its corners as --clean alone numbers them
    Corners corners;                      // a facet's corners while it is counted
    MaterialsWritten named;               // the material names clean would write
};

// Starts the counts of group g, before its facets are walked.
void startGroupCount(InfoCount& c, const char* name, const Group& g);

// Counts facet j, walked under material cm. Facets are counted in order.
void countFacet(InfoCount& c, const Group& g, int32_t j, const Face& f, int32_t cm);

// Adds the group counted to the report: its writer took it in full.
void addGroupCount(InfoReport& report, InfoCount& c);

// The writer of a run that describes: counts each group and writes
// nothing.
std::unique_ptr<GroupWriter> reportWriter(InfoCount& count);

}  // namespace quarlen
