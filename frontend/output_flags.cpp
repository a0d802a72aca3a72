#include "frontend/output_flags.h"

#include "frontend/option_words.h"

namespace quarlen {

int readOutputOption(int argc, char** argv, int i, OptionsRead& to, std::string& error) {
    const std::span<const OptionRow> tables[] = {option_table};
    return readOption(tables, argc, argv, i, to, error);
}

std::string outputFlagsConflict(const OutputOptions& o, bool info, bool toStream) {
    if (info && !traditional(o)) return "--info writes nothing, so it takes no output option";
    for (const OptionRow& with : option_table)
        if (optionSet(with, o))
            for (const OptionRow& r : option_table)
                if (!goesWith(r, with) && optionSet(r, o)) return conflictText(with);
    for (const OptionRow& r : option_table)
        if (toStream && r.notToStream && optionSet(r, o)) return r.notToStream;
    return "";
}

std::string outputOptionsHelp() {
    const std::span<const OptionRow> tables[] = {option_table};
    return "Output options (without them the output is the traditional one, byte for byte):\n" +
           optionHelpLines(tables, 17);
}

}  // namespace quarlen
