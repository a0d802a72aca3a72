// The materials a run writes facets under, one account for every writer
// and for --info. A group's material slot is first written at the group's
// first facet written under it: its name is then counted when clean would
// change it, and taken into the run's materials when the run has none of
// that stored name yet, in order of first use. The material in force at
// each facet is walkFacets' (format/rsr.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/format/rsr.h"

namespace quarlen {

// Names as --mtl writes them (made safe), each once, in order of first use.
struct MaterialList {
    std::vector<std::string> names;                  // in order of first use
    std::unordered_map<std::string, size_t> index;   // each name's place in names
};

// Adds name unless the list has it already; returns its index.
size_t useMaterial(MaterialList& list, const std::string& name);

// Adds the name --mtl writes for a stored material name; returns its index,
// which materialColour (material_colours.h) turns into its colour.
size_t useMaterialName(MaterialList& list, const char* stored);

struct MaterialsWritten {
    std::vector<int32_t> slot;    // per slot of the group: -1 until first written, else its material
    std::unordered_map<std::string, int32_t> material;  // stored name -> the run's material number
    std::vector<size_t> listed;   // per material of the run: its entry in `list`
    MaterialList list;            // the run's names as --mtl writes them
    int64_t unsafeNames = 0;      // first written names that clean makes safe
};

// Readies m for group g: no slot of it is written yet.
void startGroupMaterials(MaterialsWritten& m, const Group& g);

// A facet under slot `slot` (0 to g.nm - 1) of g is written. Returns the
// run's number of its material, numbered from 0 in order of first use;
// `added` tells whether the run took that material at this facet.
int32_t materialWritten(MaterialsWritten& m, const Group& g, int32_t slot, bool* added = nullptr);

}  // namespace quarlen
