#include "frontend/options_json.h"

#include <algorithm>
#include <cstdio>

#include "convert/glb/json_text.h"
#include "convert/options/option_table.h"

namespace quarlen {

std::string optionTableJson() {
    const OptionRow& glb = *std::find_if(option_table.begin(), option_table.end(),
                                         [](const OptionRow& r) { return r.flag == &OutputOptions::glb; });
    std::string json = "{\"options\":[";
    bool first = true;
    for (const OptionRow& r : option_table) {
        if (!r.field) continue;  // no output option
        json += first ? "{" : ",{";
        first = false;
        json += "\"name\":";
        putJsonString(json, r.name);
        json += ",\"field\":";
        putJsonString(json, r.field);
        json += std::string(",\"takesValue\":") + (r.valueName ? "true" : "false");
        json += std::string(",\"withGlb\":") + (goesWith(r, glb) ? "true" : "false");
        if (r.number == &OutputOptions::scale) {
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
