#include "frontend/output_flags.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <algorithm>
#include <cassert>

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

// The names of the rows that do not go with --glb: "--mtl, --weld and --lf".
std::string notWithGlb() {
    std::vector<const char*> names;
    for (const OptionRow& r : option_table)
        if (r.kind != OptionKind::report && !r.withGlb) names.push_back(r.name);
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list.append(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ").append(names[i]);
    return list;
}

}  // namespace

int parseOutputFlag(int argc, char** argv, int i, OutputOptions& o, bool& info, std::string& error) {
    assert(i >= 0 && i < argc);
    const char* arg = argv[i];
    for (const OptionRow& r : option_table) {
        const size_t n = std::strlen(r.name);
        if (std::strncmp(arg, r.name, n) != 0) continue;
        if (r.kind == OptionKind::flag && arg[n] == '\0') {
            o.*r.flag = true;
            return 1;
        }
        if (r.kind == OptionKind::report && arg[n] == '\0') {
            info = true;
            return 1;
        }
        if (r.kind != OptionKind::scale || (arg[n] != '\0' && arg[n] != '=')) continue;
        // "--scale F" or "--scale=F".
        const bool joined = arg[n] == '=';
        if (!joined && i + 1 >= argc) {
            error = std::string(r.name) + " needs a number";
            return -1;
        }
        const char* value = joined ? arg + n + 1 : argv[i + 1];
        double scale;
        if (!parseScale(value, scale)) {
            error = std::string(r.name) + " needs a positive finite number, not '" + value + "'";
            return -1;
        }
        o.scale = scale;
        o.scaleGiven = true;
        return joined ? 1 : 2;
    }
    return 0;
}

const char* outputFlagsConflict(const OutputOptions& o, bool info, bool toStream) {
    if (info && !traditional(o)) return "--info writes nothing, so it takes no output option";
    if (o.glb) {
        static const std::string glbText = notWithGlb() + " do not apply to --glb";
        for (const OptionRow& r : option_table)
            if (!r.withGlb && optionSet(r, o)) return glbText.c_str();
    }
    for (const OptionRow& r : option_table)
        if (toStream && r.notToStream && optionSet(r, o)) return r.notToStream;
    return nullptr;
}

std::string outputOptionsHelp() {
    std::string help = "Output options (without them the output is the traditional one, byte for byte):\n";
    for (const OptionRow& r : option_table) {
        std::string head = std::string("  ") + r.name + (r.valueName ? std::string(" ") + r.valueName : "");
        head.resize(std::max<size_t>(head.size() + 1, 17), ' ');
        help += head;
        for (const char* p = r.help; *p;) {
            const char* end = std::strchr(p, '\n');
            const size_t len = end ? size_t(end - p) : std::strlen(p);
            help.append(p, len).append("\n");
            p += len;
            if (*p) {
                ++p;
                help.append(17, ' ');
            }
        }
    }
    return help;
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
            char glb[32];
            std::snprintf(glb, sizeof glb, "%g", poser_unit_metres);
            json += ",\"default\":\"1\",\"glbDefault\":";
            putJsonString(json, glb);
        } else {
            json += ",\"default\":null";
        }
        // The page shows the help on one line.
        std::string help = r.help;
        std::replace(help.begin(), help.end(), '\n', ' ');
        json += ",\"help\":";
        putJsonString(json, help);
        json += "}";
    }
    return json + "]}";
}

}  // namespace quarlen
