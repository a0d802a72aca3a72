#include "frontend/output_flags.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/run/run.h"

namespace quarlen {

const char* const output_flags_help =
    "Output options (without them the output is the traditional one, byte for byte):\n"
    "  --clean        output that strict readers accept: leaves out facets of fewer\n"
    "                 than 3 corners or with corners outside their lists, merges\n"
    "                 repeated corners, drops partial texture corners, writes 0 for\n"
    "                 non-finite coordinates, and '_' for spaces and control bytes\n"
    "                 in names; one line on standard error says what it changed\n"
    "  --mtl          also write NAME.mtl beside NAME.obj, a colour per material,\n"
    "                 named on the first line (mtllib); not with - as the output\n"
    "  --weld         write points with the same coordinates once for the whole\n"
    "                 file; memory then grows with the distinct points of the\n"
    "                 file (about 40 to 100 bytes each) rather than with the\n"
    "                 largest group\n"
    "  --triangulate  split facets of more than 3 corners into triangles\n"
    "  --scale F      multiply every coordinate by F, a positive number\n"
    "  --z-up         turn the model from Y-up to Z-up: (x, y, z) becomes (x, -z, y)\n"
    "  --lf           LF line ends instead of CR LF\n"
    "  --exact        write coordinates with the fewest digits that read back\n"
    "                 exactly, instead of 6 significant digits\n"
    "  --glb          write a binary glTF 2.0 file, NAME.glb, instead of OBJ text:\n"
    "                 one node and mesh per group, triangles as --clean\n"
    "                 --triangulate make them, a colour per material as --mtl\n"
    "                 gives it, in metres (times 2.62128, one Poser unit, unless\n"
    "                 --scale F gives F); an output ending in .glb implies it;\n"
    "                 not with --mtl, --weld, --z-up, --lf or --exact\n"
    "  --info         write nothing; describe each INPUT.rsr (several may follow):\n"
    "                 its groups and every problem --clean would change\n";

namespace {

bool is(const char* arg, const char* name) { return std::strcmp(arg, name) == 0; }

// A positive finite number, the whole of text.
bool parseScale(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return *text && end && *end == '\0' && errno == 0 && std::isfinite(value) && value > 0;
}

}  // namespace

int parseOutputFlag(int argc, char** argv, int i, OutputOptions& o, bool& info, std::string& error) {
    const char* arg = argv[i];
    bool* flag = is(arg, "--clean")         ? &o.clean
                 : is(arg, "--mtl")         ? &o.mtl
                 : is(arg, "--weld")        ? &o.weld
                 : is(arg, "--triangulate") ? &o.triangulate
                 : is(arg, "--z-up")        ? &o.zUp
                 : is(arg, "--lf")          ? &o.lf
                 : is(arg, "--exact")       ? &o.exact
                 : is(arg, "--glb")         ? &o.glb
                 : is(arg, "--info")        ? &info
                                            : nullptr;
    if (flag) {
        *flag = true;
        return 1;
    }
    const char* value = nullptr;
    int taken = 0;
    if (is(arg, "--scale")) {
        if (i + 1 >= argc) {
            error = "--scale needs a number";
            return -1;
        }
        value = argv[i + 1];
        taken = 2;
    } else if (std::strncmp(arg, "--scale=", 8) == 0) {
        value = arg + 8;
        taken = 1;
    } else {
        return 0;
    }
    double scale;
    if (!parseScale(value, scale)) {
        error = std::string("--scale needs a positive finite number, not '") + value + "'";
        return -1;
    }
    o.scale = scale;
    o.scaleGiven = true;
    return taken;
}

const char* outputFlagsConflict(const OutputOptions& o, bool info, bool toStream) {
    if (info && !traditional(o)) return "--info writes nothing, so it takes no output option";
    if (o.glb && (o.mtl || o.weld || o.zUp || o.lf || o.exact))
        return "--mtl, --weld, --z-up, --lf and --exact do not apply to --glb";
    if (toStream && needsFileName(o)) return "--mtl writes NAME.mtl beside the output, so the output cannot be -";
    return nullptr;
}

}  // namespace quarlen
