#include "convert/options/option_table.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace quarlen {

std::string setFlag(const OptionRow& row, OptionsRead& to, const char*) {
    assert(row.flag);
    to.output.*row.flag = true;
    return {};
}

std::string setNumber(const OptionRow& row, OptionsRead& to, const char* value) {
    assert(row.number && value);
    // A positive finite number, the whole of the value.
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(value, &end);
    if (!*value || !end || *end || errno || !std::isfinite(number) || number <= 0)
        return std::string(row.name) + " needs a positive finite number, not '" + value + "'";
    to.output.*row.number = number;
    return {};
}

std::string setInfo(const OptionRow&, OptionsRead& to, const char*) {
    to.info = true;
    return {};
}

bool optionSet(const OptionRow& r, const OutputOptions& o) {
    if (r.flag) return o.*r.flag;
    if (r.number) return (o.*r.number).value_or(1.0) != 1.0;
    return false;
}

bool traditional(const OutputOptions& o) {
    for (const OptionRow& r : option_table)
        if (optionSet(r, o)) return false;
    return true;
}

std::string listed(const std::vector<std::string>& names, const char* lastJoin) {
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list.append(i == 0 ? "" : i + 1 == names.size() ? lastJoin : ", ").append(names[i]);
    return list;
}

bool goesWith(const OptionRow& r, const OptionRow& with) {
    return !r.flag || std::find(with.notWith.begin(), with.notWith.end(), r.flag) == with.notWith.end();
}

namespace {

// The options the flag of row r does not go with, in the table's order,
// listed with lastJoin.
std::string namesNotWith(const OptionRow& r, const char* lastJoin) {
    std::vector<std::string> names;
    for (const OptionRow& other : option_table)
        if (!goesWith(other, r)) names.push_back(other.name);
    return listed(names, lastJoin);
}

}  // namespace

std::string optionHelp(const OptionRow& r) {
    std::string help = r.help;
    if (!r.notWith.empty()) help += "\nnot with " + namesNotWith(r, " or ");
    return help;
}

std::string conflictText(const OptionRow& r) { return namesNotWith(r, " and ") + " do not apply to " + r.name; }

}  // namespace quarlen
