// The options as tables of one kind of row: each row says how an option is
// typed, what it sets, whether it goes with --glb, what it needs, and its
// --help text. Parsing, help, conflicts, "is this the traditional output"
// and the web page's controls all come from these rows, so that adding a
// switch is a field in OutputOptions, a row here, and its documentation.
// The console program's batch form keeps its own rows of the same kind.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "convert/options/output_options.h"

namespace quarlen {

enum class OptionKind {
    flag,     // a switch: sets `flag`
    scale,    // takes a positive finite number: sets scale
    report,   // --info: not an output option; describes instead of writing
    program,  // --help, --version: about the program, not a conversion
    batch,    // an option of the batch form, which sets `field` of its own settings
};

struct OptionRow {
    const char* name;               // as typed: "--clean"
    const char* field;              // the field it sets, by name
    OptionKind kind;
    bool OutputOptions::*flag;      // for a flag: the switch it sets
    bool withGlb;                   // may go with --glb
    const char* notToStream;        // the usage error when the output is a stream (-), or null
    const char* valueName;          // what --help calls its value ("F"), or null: takes none
    const char* help;               // its --help text, lines joined by '\n'
    char letter = 0;                // its one-letter form ('r' for -r), or 0 for none
};

inline constexpr OptionRow option_rows[] = {
    {"--clean", "clean", OptionKind::flag, &OutputOptions::clean, true, nullptr, nullptr,
     "output that strict readers accept: leaves out facets of fewer\n"
     "than 3 corners or with corners outside their lists, merges\n"
     "repeated corners, drops partial texture corners, writes 0 for\n"
     "non-finite coordinates, and '_' for spaces and control bytes\n"
     "in names; one line on standard error says what it changed"},
    {"--mtl", "mtl", OptionKind::flag, &OutputOptions::mtl, false,
     "--mtl writes NAME.mtl beside the output, so the output cannot be -", nullptr,
     "also write NAME.mtl beside NAME.obj, a colour per material,\n"
     "named on the first line (mtllib); not with - as the output"},
    {"--weld", "weld", OptionKind::flag, &OutputOptions::weld, false, nullptr, nullptr,
     "write points with the same coordinates once for the whole\n"
     "file; memory then grows with the distinct points of the\n"
     "file (about 40 to 100 bytes each) rather than with the\n"
     "largest group"},
    {"--triangulate", "triangulate", OptionKind::flag, &OutputOptions::triangulate, true, nullptr, nullptr,
     "split facets of more than 3 corners into triangles"},
    {"--scale", "scale", OptionKind::scale, nullptr, true, nullptr, "F",
     "multiply every coordinate by F, a positive number"},
    {"--z-up", "zUp", OptionKind::flag, &OutputOptions::zUp, false, nullptr, nullptr,
     "turn the model from Y-up to Z-up: (x, y, z) becomes (x, -z, y)"},
    {"--lf", "lf", OptionKind::flag, &OutputOptions::lf, false, nullptr, nullptr, "LF line ends instead of CR LF"},
    {"--exact", "exact", OptionKind::flag, &OutputOptions::exact, false, nullptr, nullptr,
     "write coordinates with the fewest digits that read back\n"
     "exactly, instead of 6 significant digits"},
    {"--glb", "glb", OptionKind::flag, &OutputOptions::glb, true, nullptr, nullptr,
     "write a binary glTF 2.0 file, NAME.glb, instead of OBJ text:\n"
     "one node and mesh per group, triangles as --clean\n"
     "--triangulate make them, a colour per material as --mtl\n"
     "gives it, in metres (times 2.62128, one Poser unit, unless\n"
     "--scale F gives F); an output ending in .glb implies it;"},
    {"--info", "", OptionKind::report, nullptr, false, nullptr, nullptr,
     "write nothing; describe each INPUT.rsr (several may follow):\n"
     "its groups and every problem --clean would change"},
};
inline constexpr std::span<const OptionRow> option_table{option_rows};

// True when every option is at its default: the traditional output, byte
// for byte.
bool traditional(const OutputOptions& o);

// True when the option of row r is set in o.
bool optionSet(const OptionRow& r, const OutputOptions& o);

// The extension of the output's name, ".glb" or ".obj".
inline const char* outputExtension(const OutputOptions& o) { return o.glb ? ".glb" : ".obj"; }

// An output named NAME.glb is a GLB whatever else was asked: sets o.glb
// when output ends in .glb (in any case). The one rule by which every
// front end that is given an output's name chooses its format.
void takeOutputName(OutputOptions& o, const char* output);

// The options that do not go with --glb, named as a list whose last two
// are joined by lastJoin: "--mtl, --weld and --lf".
std::string namesNotWithGlb(const char* lastJoin);

// Row r's --help text, lines joined by '\n': its own, and for --glb the
// options it does not go with.
std::string optionHelp(const OptionRow& r);

// The usage error of --glb with an option it does not go with.
std::string glbConflictText();

}  // namespace quarlen
