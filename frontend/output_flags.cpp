#include "frontend/output_flags.h"

#include "frontend/option_words.h"
#include "convert/run/output_kinds.h"

namespace quarlen {

int readOutputOption(int argc, char** argv, int i, OptionsRead& to, std::string& error) {
    const std::span<const OptionRow> tables[] = {option_table};
    return readOption(tables, argc, argv, i, to, error);
}

std::string outputFlagsConflict(const OutputOptions& o, bool info, bool toStream) {
    if (info && !traditional(o)) return "--info writes nothing, so it takes no output option";
    // A kind's option that is not the kind written (--png beside --glb in
    // the batch form) leaves the options to the kind written.
    const OutputKind& written = kindAsked(o);
    for (const OptionRow& with : option_table) {
        const OutputKind* kind = with.flag ? kindOf(with.flag) : nullptr;
        if (optionSet(with, o) && (!kind || kind == &written))
            for (const OptionRow& r : option_table)
                if (!goesWith(r, with) && optionSet(r, o)) return conflictText(with);
    }
    for (const OptionRow& r : option_table)
        if (r.onlyWith && optionSet(r, o) && !(o.*r.onlyWith)) return onlyWithText(r);
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
