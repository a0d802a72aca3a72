#include "frontend/output_flags.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <algorithm>
#include <cassert>
#include <string_view>

#include "convert/glb/json_text.h"
#include "convert/run/run.h"

namespace quarlen {

namespace {

// A positive finite number, the whole of text.
bool parseScale(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return *text && end && *end == '\0' && errno == 0 && std::isfinite(value) && value > 0;
}

const OptionRow* rowNamed(std::span<const std::span<const OptionRow>> tables, std::string_view name) {
    for (std::span<const OptionRow> rows : tables)
        for (const OptionRow& r : rows)
            if (name == r.name) return &r;
    return nullptr;
}

const OptionRow* rowLettered(std::span<const std::span<const OptionRow>> tables, char letter) {
    for (std::span<const OptionRow> rows : tables)
        for (const OptionRow& r : rows)
            if (r.letter && r.letter == letter) return &r;
    return nullptr;
}

// The usage error of row r typed as `typed` with no value after it.
std::string missingValue(const OptionRow& r, const std::string& typed) {
    return r.kind == OptionKind::scale ? typed + " needs a number" : "option " + typed + " needs a value";
}

// Row r as read from argv[i]; its value is `rest` unless that is null, else
// the next entry. Returns the entries taken, or -1 for a missing value.
int takeRow(const OptionRow& r, const char* rest, const std::string& typed, int argc, char** argv, int i,
            std::vector<OptionWord>& words, std::string& error) {
    if (!r.valueName) {
        words.push_back({&r, nullptr});
        return 1;
    }
    if (rest) {
        words.push_back({&r, rest});
        return 1;
    }
    if (i + 1 >= argc) {
        error = missingValue(r, typed);
        return -1;
    }
    words.push_back({&r, argv[i + 1]});
    return 2;
}

}  // namespace

int readOptionWord(std::span<const std::span<const OptionRow>> tables, int argc, char** argv, int i,
                   std::vector<OptionWord>& words, std::string& error) {
    assert(i >= 0 && i < argc);
    const char* arg = argv[i];
    if (arg[0] != '-' || arg[1] == '\0') return 0;
    if (arg[1] == '-') {
        const char* equals = std::strchr(arg, '=');
        const std::string name(arg, equals ? size_t(equals - arg) : std::strlen(arg));
        const OptionRow* r = rowNamed(tables, name);
        if (r && (!equals || r->valueName)) return takeRow(*r, equals ? equals + 1 : nullptr, name, argc, argv, i, words, error);
        error = std::string("unknown option: ") + arg;
        return 0;
    }
    for (size_t k = 1; arg[k]; ++k) {
        const OptionRow* r = rowLettered(tables, arg[k]);
        if (!r) {
            error = std::string("unknown option: -") + arg[k];
            return 0;
        }
        if (r->valueName)
            return takeRow(*r, arg[k + 1] ? arg + k + 1 : nullptr, std::string("-") + arg[k], argc, argv, i, words, error);
        words.push_back({r, nullptr});
    }
    return 1;
}

std::string optionHelpLines(std::span<const OptionRow> rows, size_t column) {
    const bool letters = std::any_of(rows.begin(), rows.end(), [](const OptionRow& r) { return r.letter != 0; });
    std::string help;
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

int parseOutputFlag(int argc, char** argv, int i, OutputOptions& o, bool& info, std::string& error) {
    const std::span<const OptionRow> tables[] = {option_table};
    std::vector<OptionWord> words;
    const int taken = readOptionWord(tables, argc, argv, i, words, error);
    if (taken == 0) error.clear();  // another table may know it
    if (taken <= 0) return taken;
    for (const OptionWord& w : words) {
        const OptionRow& r = *w.row;
        switch (r.kind) {
        case OptionKind::flag: o.*r.flag = true; break;
        case OptionKind::report: info = true; break;
        case OptionKind::scale: {
            double scale;
            if (!parseScale(w.value, scale)) {
                error = std::string(r.name) + " needs a positive finite number, not '" + w.value + "'";
                return -1;
            }
            o.scale = scale;
            break;
        }
        case OptionKind::program:
        case OptionKind::batch: assert(!"not an output option"); break;
        }
    }
    return taken;
}

const char* outputFlagsConflict(const OutputOptions& o, bool info, bool toStream) {
    if (info && !traditional(o)) return "--info writes nothing, so it takes no output option";
    if (o.glb) {
        static const std::string glbText = glbConflictText();
        for (const OptionRow& r : option_table)
            if (!r.withGlb && optionSet(r, o)) return glbText.c_str();
    }
    for (const OptionRow& r : option_table)
        if (toStream && r.notToStream && optionSet(r, o)) return r.notToStream;
    return nullptr;
}

std::string outputOptionsHelp() {
    return "Output options (without them the output is the traditional one, byte for byte):\n" +
           optionHelpLines(option_table, 17);
}

std::string optionTableJson() {
    std::string json = "{\"options\":[";
    bool first = true;
    for (const OptionRow& r : option_table) {
        if (r.kind == OptionKind::report) continue;  // the page describes with every file it converts
        json += first ? "{" : ",{";
        first = false;
        json += "\"name\":";
        putJsonString(json, r.name);
        json += ",\"field\":";
        putJsonString(json, r.field);
        json += std::string(",\"takesValue\":") + (r.kind == OptionKind::scale ? "true" : "false");
        json += std::string(",\"withGlb\":") + (r.withGlb ? "true" : "false");
        if (r.kind == OptionKind::scale) {
            // The value the page shows before one is typed, for each format.
            char text[2][32];
            std::snprintf(text[0], sizeof text[0], "%g", effectiveScale(OutputOptions{}));
            std::snprintf(text[1], sizeof text[1], "%g", effectiveScale(OutputOptions{.glb = true}));
            json += ",\"default\":";
            putJsonString(json, text[0]);
            json += ",\"glbDefault\":";
            putJsonString(json, text[1]);
        } else {
            json += ",\"default\":null";
        }
        // The page shows the help on one line.
        std::string help = optionHelp(r);
        std::replace(help.begin(), help.end(), '\n', ' ');
        json += ",\"help\":";
        putJsonString(json, help);
        json += "}";
    }
    return json + "]}";
}

}  // namespace quarlen
