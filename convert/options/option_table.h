// The output options as one table of rows: each row says how an option is
// typed, how it sets its field, what it does not go with, and its --help
// text. Parsing, help, conflicts, "is this the traditional output" and the
// web page's controls all come from these rows, so that adding a switch is
// a field in OutputOptions, a row here, and its documentation. A front
// end's own options (the console program's batch form) are rows of the
// same type, read in the same pass.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/options/output_options.h"

namespace quarlen {

// What the options typed ask for. A front end whose own rows set more reads
// them into a type derived from this one.
struct OptionsRead {
    OutputOptions output;  // the output options
    bool info = false;     // --info: describe the inputs instead of converting them
};

struct OptionRow {
    const char* name;  // as typed: "--clean"
    const char* help;  // its --help text, lines joined by '\n'
    // Sets what the option stands for in `to`, from its value (null for a
    // row that takes none); returns the usage error, or empty.
    std::string (*set)(const OptionRow& row, OptionsRead& to, const char* value);
    const char* valueName = nullptr;  // what --help calls its value ("F"), or null: it takes none
    char letter = 0;                  // its one-letter form ('r' for -r), or 0: none
    // An output option's own; other rows leave them.
    const char* field = nullptr;                          // the OutputOptions field, by name; null: no output option
    bool OutputOptions::*flag = nullptr;                  // the switch it sets, for a flag
    std::optional<double> OutputOptions::*number = nullptr;  // the number it sets, for --scale
    int OutputOptions::*whole = nullptr;                  // the whole number it sets, for --size
    std::span<const char* const> notWith{};  // for a flag: the options it does not go with, by name
    bool OutputOptions::*onlyWith = nullptr;  // the switch without which it does not apply, or null
    const char* notToStream = nullptr;  // the usage error when the output is a stream (-), or null
};

// The options that do not apply to a GLB.
inline constexpr const char* not_with_glb[] = {"--mtl", "--weld", "--z-up", "--lf", "--exact"};
// Those that change nothing a picture shows, or make no sense for one: the
// OBJ text's options, and what a GLB also ignores. A picture beside a GLB
// (the batch form's --png --glb) takes the GLB's options instead.
inline constexpr const char* not_with_png[] = {"--clean", "--mtl", "--weld",  "--triangulate",
                                               "--scale", "--z-up", "--lf", "--exact"};

// The setters of the output options' rows.
std::string setFlag(const OptionRow& row, OptionsRead& to, const char* value);
std::string setNumber(const OptionRow& row, OptionsRead& to, const char* value);
std::string setInfo(const OptionRow& row, OptionsRead& to, const char* value);
std::string setPictureSize(const OptionRow& row, OptionsRead& to, const char* value);

inline constexpr OptionRow option_rows[] = {
    {.name = "--clean",
     .help = "output that strict readers accept: leaves out facets of fewer\n"
             "than 3 corners or with corners outside their lists, merges\n"
             "repeated corners, drops partial texture corners, writes 0 for\n"
             "non-finite coordinates, and '_' for spaces and control bytes\n"
             "in names; one line on standard error says what it changed",
     .set = setFlag, .field = "clean", .flag = &OutputOptions::clean},
    {.name = "--mtl",
     .help = "also write NAME.mtl beside NAME.obj, a colour per material,\n"
             "named on the first line (mtllib); not with - as the output",
     .set = setFlag, .field = "mtl", .flag = &OutputOptions::mtl,
     .notToStream = "--mtl writes NAME.mtl beside the output, so the output cannot be -"},
    {.name = "--weld",
     .help = "write points with the same coordinates once for the whole\n"
             "file; memory then grows with the distinct points of the\n"
             "file (about 40 to 100 bytes each) rather than with the\n"
             "largest group",
     .set = setFlag, .field = "weld", .flag = &OutputOptions::weld},
    {.name = "--triangulate", .help = "split facets of more than 3 corners into triangles",
     .set = setFlag, .field = "triangulate", .flag = &OutputOptions::triangulate},
    {.name = "--scale", .help = "multiply every coordinate by F, a positive number",
     .set = setNumber, .valueName = "F", .field = "scale", .number = &OutputOptions::scale},
    {.name = "--z-up", .help = "turn the model from Y-up to Z-up: (x, y, z) becomes (x, -z, y)",
     .set = setFlag, .field = "zUp", .flag = &OutputOptions::zUp},
    {.name = "--lf", .help = "LF line ends instead of CR LF",
     .set = setFlag, .field = "lf", .flag = &OutputOptions::lf},
    {.name = "--exact",
     .help = "write coordinates with the fewest digits that read back\n"
             "exactly, instead of 6 significant digits",
     .set = setFlag, .field = "exact", .flag = &OutputOptions::exact},
    {.name = "--glb",
     .help = "write a binary glTF 2.0 file, NAME.glb, instead of OBJ text:\n"
             "one node and mesh per group, triangles as --clean\n"
             "--triangulate make them, a colour per material as --mtl\n"
             "gives it, in metres (times 2.62128, one Poser unit, unless\n"
             "--scale F gives F); an output ending in .glb implies it;",
     .set = setFlag, .field = "glb", .flag = &OutputOptions::glb, .notWith = not_with_glb},
    // The page makes pictures of its own: --png and --size have no field
    // for its controls.
    {.name = "--png",
     .help = "draw a picture of the model instead, NAME.png: the view the\n"
             "web page first shows, each group in its colour, on a\n"
             "transparent background, --size pixels square; an output\n"
             "ending in .png implies it; in the batch form with --glb,\n"
             "NAME.png beside each NAME.glb from the same conversion;\n"
             "without --glb",
     .set = setFlag, .flag = &OutputOptions::png, .notWith = not_with_png},
    {.name = "--size", .help = "the picture's width and height in pixels, 1 to 1024\n(default 256)",
     .set = setPictureSize, .valueName = "N", .whole = &OutputOptions::pictureSize, .onlyWith = &OutputOptions::png},
    {.name = "--info",
     .help = "write nothing; describe each INPUT.rsr (several may follow):\n"
             "its groups and every problem --clean would change",
     .set = setInfo},
};
inline constexpr std::span<const OptionRow> option_table{option_rows};

// True when every option is at its default: the traditional output, byte
// for byte.
bool traditional(const OutputOptions& o);

// True when the output option of row r is set in o.
bool optionSet(const OptionRow& r, const OutputOptions& o);

// True when the option of row r goes with the flag of row with.
bool goesWith(const OptionRow& r, const OptionRow& with);

// Names as a list whose last two are joined by lastJoin: "a, b and c".
std::string listed(const std::vector<std::string>& names, const char* lastJoin);

// Row r's --help text, lines joined by '\n': its own, and the options it
// does not go with.
std::string optionHelp(const OptionRow& r);

// The usage error of the flag of row r with an option it does not go with.
std::string conflictText(const OptionRow& r);

// The usage error of row r's option without the switch it applies to.
std::string onlyWithText(const OptionRow& r);

}  // namespace quarlen
