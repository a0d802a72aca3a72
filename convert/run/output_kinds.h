// The kinds of file a run writes, one row each: the ending of a name that
// asks for it, the option that does, what the run tells of it and its
// writer. An output named NAME.glb is a GLB whatever the options say:
// convertRSR applies that rule itself, and a front end asks these rows
// rather than test an ending. A new kind is a row here, its option's row
// in options/option_table.h and its texts in format/texts.h.
#pragma once

#include <memory>

#include "convert/format/texts.h"
#include "convert/options/output_options.h"

namespace quarlen {

class GroupWriter;
struct Output;
struct RunRequest;
struct InfoCount;

struct OutputKind {
    const char* extension;      // an output named NAME plus this asks for the kind: ".obj"
    bool OutputOptions::*flag;  // the option that asks for it, or null: the kind written when none does
    bool binary;                // bytes rather than text, which no terminal should be given
    const OutputTexts* texts;   // what a run that writes it tells
    // The writer of a run that writes it to out, given the run's options
    // (withOutputName's) and, when the run also describes what it writes,
    // the count each group is counted into.
    std::unique_ptr<GroupWriter> (*writer)(Output& out, const RunRequest& req, const OutputOptions& o,
                                           InfoCount* count);
};

// The kind whose extension output ends in, letters in any case, or null:
// no name of an output a run can be asked for.
const OutputKind* kindNamed(const char* output);

// The kind the options ask for: the first whose option is set, else the
// first of all.
const OutputKind& kindAsked(const OutputOptions& o);

// The kind the option whose switch is flag asks for, or null: no kind's.
const OutputKind* kindOf(bool OutputOptions::*flag);

// The option that asks for kind k, as typed ("--glb"), from the option
// table; null for the kind no option asks for.
const char* optionName(const OutputKind& k);

// The options of a run that writes to output: o, with the option of the
// kind output's name asks for set. Null output: o as it is. The one rule by
// which an output's name chooses what is written.
OutputOptions withOutputName(OutputOptions o, const char* output);

}  // namespace quarlen
