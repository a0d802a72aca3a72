#include "convert/options/option_table.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

// --size's help and the console program's manual give the range and the
// default as numbers.
std::string setPictureSize(const OptionRow& row, OptionsRead& to, const char* value) {
    assert(row.whole && value);
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(value, &end, 10);
    if (!*value || *end || errno || n < 1 || n > max_picture_size)
        return std::string(row.name) + " needs a whole number from 1 to " + std::to_string(max_picture_size) +
               ", not '" + value + "'";
    to.output.*row.whole = int(n);
    return {};
}

bool optionSet(const OptionRow& r, const OutputOptions& o) {
    if (r.flag) return o.*r.flag;
    if (r.number) return (o.*r.number).value_or(1.0) != 1.0;
    if (r.whole) return o.*r.whole != OutputOptions{}.*r.whole;
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
    return std::none_of(with.notWith.begin(), with.notWith.end(),
                        [&](const char* name) { return std::strcmp(name, r.name) == 0; });
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
    if (r.notWith.empty()) return help;
    // The list in lines of at most 60 characters, as the rows' own text.
    size_t line = help.size() + 1;
    help += "\nnot with";
    std::string names = namesNotWith(r, " or ");
    for (size_t at = 0, end; at < names.size(); at = end + 1) {
        end = std::min(names.find(' ', at), names.size());
        help += help.size() - line + (end - at) + 1 > 60 ? '\n' : ' ';
        if (help.back() == '\n') line = help.size();
        help.append(names, at, end - at);
    }
    return help;
}

std::string conflictText(const OptionRow& r) { return namesNotWith(r, " and ") + " do not apply to " + r.name; }

std::string onlyWithText(const OptionRow& r) {
    assert(r.onlyWith);
    const auto with = std::find_if(option_table.begin(), option_table.end(),
                                   [&](const OptionRow& other) { return other.flag == r.onlyWith; });
    assert(with != option_table.end());
    return std::string(r.name) + " applies only with " + with->name;
}

}  // namespace quarlen
