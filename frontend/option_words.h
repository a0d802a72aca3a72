// Options read from the words the user typed, against tables of rows
// (convert/options/option_table.h): the output options and the rows a
// front end adds of its own, in one pass; and their --help lines.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "convert/options/option_table.h"

namespace quarlen {

// Reads the option at argv[i] against the rows of tables: "--name",
// "--name=VALUE" or "--name VALUE" (the last two for a row with a value),
// or a cluster of letters ("-rf", "-j2", "-j 2"), and sets what each option
// read stands for in `to`, in order. Returns how many entries of argv it
// took (1 or 2); 0 when argv[i] is no option of the tables (error then says
// "unknown option: " and what, unless argv[i] does not start with '-' or is
// "-" alone); -1 for a missing or bad value (error says why). argv[i] must
// exist.
int readOption(std::span<const std::span<const OptionRow>> tables, int argc, char** argv, int i, OptionsRead& to,
               std::string& error);

// The --help lines of the rows of tables: each name (after its letter,
// where any row has one) and value name padded to column, then its help.
std::string optionHelpLines(std::span<const std::span<const OptionRow>> tables, size_t column);

}  // namespace quarlen
