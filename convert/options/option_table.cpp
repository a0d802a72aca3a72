#include "convert/options/option_table.h"

#include <cassert>

namespace quarlen {

bool optionSet(const OptionRow& r, const OutputOptions& o) {
    switch (r.kind) {
    case OptionKind::flag:
        assert(r.flag);
        return o.*r.flag;
    case OptionKind::scale: return o.scale != 1.0;
    case OptionKind::report: break;
    }
    return false;
}

bool traditional(const OutputOptions& o) {
    for (const OptionRow& r : option_table)
        if (optionSet(r, o)) return false;
    return true;
}

}  // namespace quarlen
