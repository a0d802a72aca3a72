// Writing OBJ text with output options: the same line forms as the
// traditional writer, after clean, weld and triangulate, with scale, axis,
// line ends and float text as asked. The traditional output never comes
// through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/clean.h"
#include "convert/mtl.h"
#include "convert/obj_options.h"
#include "convert/obj_writer.h"
#include "convert/weld.h"

// Everything one run with options keeps; nothing is shared between runs.
struct OptionRun {
    OutputOptions o;
    Totals t;  // next point and texture numbers, facet lines and most corners written
    WeldTable weld;
    std::vector<int32_t> map;                      // welded number of each point of the group
    std::vector<unsigned char> badPoint, badTex;   // non-finite, per point of the group
    std::vector<unsigned char> named;              // material slots of the group already seen
    Corners corners;
    CleanCounts counts;
    MaterialList materials;
    std::string mtlPath;  // empty when no material file is written

    OptionRun() = default;
    OptionRun(const OptionRun&) = delete;
    OptionRun& operator=(const OptionRun&) = delete;
    ~OptionRun() { freeWeld(weld); }
};

// Sets up the run and writes what comes before the first group: the
// "mtllib" line when a material file goes beside File.
void startOptions(OptionRun& r, const OutputOptions& o, const char* File, bool toStream, Output& out);

enum class GroupWritten { done, bad_value, no_memory };

// Writes a group's line and body. bad_value as the traditional writer has
// it (never with clean); no_memory when the weld table cannot grow.
GroupWritten writeOptionGroup(OptionRun& r, Output& out, const char* name, const Group& g);

// The group line alone, for a group whose reading failed.
void writeOptionGroupLine(OptionRun& r, Output& out, const char* name);

void writeOptionClosing(const OptionRun& r, Output& out);

// "cleaned: ..." for the run so far; empty without clean or when nothing
// changed.
std::string cleanNotice(const OptionRun& r);
