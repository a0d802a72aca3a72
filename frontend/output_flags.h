// Options read from the words the user typed, checked for conflicts and
// explained, all from tables of rows (option_table.h): the output options,
// and the rows a front end adds of its own, such as the batch form's.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "convert/run/run.h"
#include "convert/options/option_table.h"

namespace quarlen {

// One option as typed: its row, and its value (null for a row that takes
// none).
struct OptionWord {
    const OptionRow* row;
    const char* value;
};

// Reads the option at argv[i] against the rows of tables: "--name",
// "--name=VALUE" or "--name VALUE" (the last two for a row with a value),
// or a cluster of letters ("-rf", "-j2", "-j 2"). Appends each option it
// read to words. Returns how many entries of argv it took (1 or 2); 0 when
// argv[i] is no option of the tables (error then says "unknown option: "
// and what, unless argv[i] does not start with '-' or is "-" alone); -1 when
// a value is missing (error says why). argv[i] must exist.
int readOptionWord(std::span<const std::span<const OptionRow>> tables, int argc, char** argv, int i,
                   std::vector<OptionWord>& words, std::string& error);

// The --help lines of the rows: each name (after its letter, where any row
// has one) and value name padded to column, then its help.
std::string optionHelpLines(std::span<const OptionRow> rows, size_t column);

// Reads the output option at argv[i], and its value if it takes one.
// Returns how many entries it took: 0 when argv[i] is no output option, -1
// for a missing or bad value (a usage error; error says why).
int parseOutputFlag(int argc, char** argv, int i, OutputOptions& o, bool& info, std::string& error);

// The usage error of options that cannot go together: --mtl with an output
// to a stream (toStream, the output "-"), or --info with an output option.
// Null when they can.
const char* outputFlagsConflict(const OutputOptions& o, bool info, bool toStream);

// The --help lines of the output options.
std::string outputOptionsHelp();

// The output options as the web page builds its controls from them:
// {"options":[{"name","field","takesValue","withGlb","default","help"},...]},
// the scale's row with "glbDefault" as well; help on one line.
std::string optionTableJson();

}  // namespace quarlen
