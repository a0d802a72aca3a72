#include "convert/options/materials_written.h"

#include <cassert>

#include "convert/options/clean.h"

namespace quarlen {

size_t useMaterial(MaterialList& list, const std::string& name) {
    const auto [at, fresh] = list.index.emplace(name, list.names.size());
    if (fresh) list.names.push_back(name);
    return at->second;
}

size_t useMaterialName(MaterialList& list, const char* stored) {
    char written[material_size + 8];
    return useMaterial(list, std::string(written, putSafeName(written, stored, true)));
}

void startGroupMaterials(MaterialsWritten& m, const Group& g) { m.slot.assign(size_t(g.nm), -1); }

int32_t materialWritten(MaterialsWritten& m, const Group& g, int32_t slot, bool* added) {
    assert(slot >= 0 && size_t(slot) < m.slot.size());
    if (added) *added = false;
    int32_t& known = m.slot[size_t(slot)];
    if (known >= 0) return known;
    const MaterialName stored = materialName(g, slot);
    if (!safeName(stored.s, true)) ++m.unsafeNames;
    const auto [at, fresh] = m.material.emplace(stored.s, int32_t(m.listed.size()));
    if (fresh) m.listed.push_back(useMaterialName(m.list, stored.s));
    if (added) *added = fresh;
    return known = at->second;
}

}  // namespace quarlen
