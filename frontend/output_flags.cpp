#include "frontend/output_flags.h"

#include "frontend/option_words.h"

namespace quarlen {

int readOutputOption(int argc, char** argv, int i, OptionsRead& to, std::string& error) {
    const std::span<const OptionRow> tables[] = {option_table};
    return readOption(tables, argc, argv, i, to, error);
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
    const std::span<const OptionRow> tables[] = {option_table};
    return "Output options (without them the output is the traditional one, byte for byte):\n" +
           optionHelpLines(tables, 17);
}

}  // namespace quarlen
