#include "convert/options/option_table.h"

#include <cassert>
#include <vector>

#include "convert/format/file_names.h"

namespace quarlen {

bool optionSet(const OptionRow& r, const OutputOptions& o) {
    switch (r.kind) {
    case OptionKind::flag:
        assert(r.flag);
        return o.*r.flag;
    case OptionKind::scale: return o.scale.value_or(1.0) != 1.0;
    case OptionKind::report:
    case OptionKind::program:
    case OptionKind::batch: break;
    }
    return false;
}

bool traditional(const OutputOptions& o) {
    for (const OptionRow& r : option_table)
        if (optionSet(r, o)) return false;
    return true;
}

void takeOutputName(OutputOptions& o, const char* output) {
    assert(output);
    if (hasExtension(output, ".glb")) o.glb = true;
}

std::string namesNotWithGlb(const char* lastJoin) {
    std::vector<const char*> names;
    for (const OptionRow& r : option_table)
        if (r.kind != OptionKind::report && !r.withGlb) names.push_back(r.name);
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list.append(i == 0 ? "" : i + 1 == names.size() ? lastJoin : ", ").append(names[i]);
    return list;
}

std::string optionHelp(const OptionRow& r) {
    std::string help = r.help;
    if (r.flag == &OutputOptions::glb) help += "\nnot with " + namesNotWithGlb(" or ");
    return help;
}

std::string glbConflictText() { return namesNotWithGlb(" and ") + " do not apply to --glb"; }

}  // namespace quarlen
