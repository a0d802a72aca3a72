#include "frontend/option_words.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string_view>

namespace quarlen {

namespace {

using Tables = std::span<const std::span<const OptionRow>>;

const OptionRow* rowNamed(Tables tables, std::string_view name) {
    for (std::span<const OptionRow> rows : tables)
        for (const OptionRow& r : rows)
            if (name == r.name) return &r;
    return nullptr;
}

const OptionRow* rowLettered(Tables tables, char letter) {
    for (std::span<const OptionRow> rows : tables)
        for (const OptionRow& r : rows)
            if (r.letter && r.letter == letter) return &r;
    return nullptr;
}

// Row r as read from argv[i], typed as `typed`: its value is `rest` unless
// that is null, else the next entry. Returns the entries taken, or -1 for a
// missing or bad value.
int takeRow(const OptionRow& r, const char* rest, const std::string& typed, int argc, char** argv, int i,
            OptionsRead& to, std::string& error) {
    int taken = 1;
    const char* value = nullptr;
    if (r.valueName) {
        value = rest;
        if (!value && i + 1 < argc) {
            value = argv[i + 1];
            taken = 2;
        }
        if (!value) {
            error = r.number || r.whole ? typed + " needs a number" : "option " + typed + " needs a value";
            return -1;
        }
    }
    error = r.set(r, to, value);
    return error.empty() ? taken : -1;
}

}  // namespace

int readOption(Tables tables, int argc, char** argv, int i, OptionsRead& to, std::string& error) {
    assert(i >= 0 && i < argc);
    const char* arg = argv[i];
    if (arg[0] != '-' || arg[1] == '\0') return 0;
    if (arg[1] == '-') {
        const char* equals = std::strchr(arg, '=');
        const std::string name(arg, equals ? size_t(equals - arg) : std::strlen(arg));
        const OptionRow* r = rowNamed(tables, name);
        if (r && (!equals || r->valueName)) return takeRow(*r, equals ? equals + 1 : nullptr, name, argc, argv, i, to, error);
        error = std::string("unknown option: ") + arg;
        return 0;
    }
    for (size_t k = 1; arg[k]; ++k) {
        const OptionRow* r = rowLettered(tables, arg[k]);
        if (!r) {
            error = std::string("unknown option: -") + arg[k];
            return 0;
        }
        // A letter with a value takes the rest of the cluster, or the next entry.
        if (r->valueName)
            return takeRow(*r, arg[k + 1] ? arg + k + 1 : nullptr, std::string("-") + arg[k], argc, argv, i, to, error);
        if (takeRow(*r, nullptr, "", argc, argv, i, to, error) < 0) return -1;
    }
    return 1;
}

std::string optionHelpLines(Tables tables, size_t column) {
    bool letters = false;
    for (std::span<const OptionRow> rows : tables)
        letters |= std::any_of(rows.begin(), rows.end(), [](const OptionRow& r) { return r.letter != 0; });
    std::string help;
    for (std::span<const OptionRow> rows : tables)
        for (const OptionRow& r : rows) {
            std::string head = "  ";
            if (letters) head += r.letter ? std::string("-") + r.letter + ", " : std::string("    ");
            head += r.name;
            if (r.valueName) head.append(" ").append(r.valueName);
            head.resize(std::max(head.size() + 1, column), ' ');
            help += head;
            const std::string text = optionHelp(r);
            for (size_t p = 0; p < text.size();) {
                const size_t end = std::min(text.find('\n', p), text.size());
                help.append(text, p, end - p).append("\n");
                p = end;
                if (p < text.size()) {
                    ++p;
                    help.append(column, ' ');
                }
            }
        }
    return help;
}

}  // namespace quarlen
