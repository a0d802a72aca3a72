// quarlen: converts Poser geometry files to OBJ text or binary glTF, or
// draws them, one file or a whole library at a time.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <span>
#include <vector>

#include "cli/batch_form.h"
#include "frontend/file_uri.h"
#include "frontend/notice_console.h"
#include "frontend/info_print.h"
#include "frontend/option_words.h"
#include "frontend/output_flags.h"
#include "convert/run/run.h"
#include "convert/run/output_kinds.h"
#include "convert/format/notice.h"
#include "convert/options/option_table.h"
#include "convert/batch/batch_texts.h"
#include "convert/batch/paths.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// cmd.exe hands "*.rsr" over as it is: the C runtime expands wildcards in
// the arguments before main when this is set.
extern "C" {
int _dowildcard = -1;
}
#endif

using namespace quarlen;

namespace {

enum Status { status_finished = 0, status_failed = 1, status_usage = 2 };

#define QUARLEN_SYNOPSIS              \
    "usage: quarlen INPUT.rsr OUTPUT.obj\n" \
    "       quarlen INPUT.rsr OUTPUT.glb\n" \
    "       quarlen INPUT.rsr OUTPUT.png\n" \
    "       quarlen INPUT.rsr -\n"          \
    "       quarlen [OPTIONS] PATH...\n"    \
    "       quarlen --info PATH...\n"

constexpr const char* short_usage = QUARLEN_SYNOPSIS "Try 'quarlen --help' for more.\n";

constexpr const char* usage_text =
    QUARLEN_SYNOPSIS
    "Converts Poser geometry files (.rsr) into Wavefront OBJ text files (.obj),\n"
    "or with --glb into binary glTF files (.glb), or with --png draws them (.png).\n"
    "\n"
    "With two operands, the second '-' or ending in .obj, .glb or .png and the\n"
    "first not a folder, converts one file: to OUTPUT.obj, to OUTPUT.glb (as\n"
    "--glb), to OUTPUT.png (as --png), or to standard output for '-' (with --glb\n"
    "or --png only when that is no terminal).\n"
    "Otherwise every PATH is an .rsr file or a folder of them, and each\n"
    "DIR/NAME.rsr becomes NAME.obj (NAME.glb with --glb, NAME.png with --png)\n"
    "beside it; with --glb --png, NAME.glb and NAME.png from one conversion.\n"
    "Files are converted in path order; each output is written under a\n"
    "temporary name and renamed into place.\n"
    "An operand that starts with file:/ is a file URI, as file managers give\n"
    "(file:///home/me/a%20b.rsr): a file of this computer, escapes decoded.\n"
    "\n";

// After the batch form's option lines.
constexpr const char* usage_tail =
    "The output options below apply to both forms.\n"
    "\n"
    "Each message is one line on standard error. In the batch form a file that\n"
    "converts or is skipped prints nothing (the summary counts it), and every\n"
    "line of a file that fails starts with its input's path. Two inputs with\n"
    "the same output fail from the second on. With --glb --png, each output\n"
    "that exists is skipped on its own (the other is made), and a file fails\n"
    "when either of its outputs does. Ctrl-C stops the batch: files in\n"
    "flight leave no temporary file, and the same command later carries on\n"
    "where it stopped.\n"
    "Exit status: 0 every file finished (skipped ones too), 1 a conversion\n"
    "failed or a file could not be opened, 2 usage error, 130 interrupted.\n"
    "\n";

// What the command line asks for: the output options, and the console
// program's own settings, which its rows below set.
struct Args : OptionsRead {
    std::vector<std::string> operands;  // in the order typed
    BatchForm batch;                    // the batch form's settings
    bool batchOption = false;           // an option that only the batch form takes
    bool help = false;                  // --help
    bool version = false;               // --version
    std::string error;                  // set: a usage error
};

// The console program reads its rows into an Args alone.
Args& args(OptionsRead& to) { return static_cast<Args&>(to); }

// Likewise, for a row of the batch form, which marks that one was given.
Args& batchArgs(OptionsRead& to) {
    Args& a = args(to);
    a.batchOption = true;
    return a;
}

// Switches field on, for a row that takes no value.
std::string on(bool& field) {
    field = true;
    return {};
}

std::string setJobs(const OptionRow&, OptionsRead& to, const char* value) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(value, &end, 10);
    if (errno || end == value || *end || n < 1 || n > 1024) return std::string("bad number of jobs: ") + value;
    batchArgs(to).batch.jobs = int(n);
    return {};
}

std::string setOutputDir(const OptionRow&, OptionsRead& to, const char* value) {
    if (!*value) return "the output folder is an empty name";
    batchArgs(to).batch.settings.outputDir = value;
    return {};
}

// The options of the batch form, rows of the same type as the output
// options, read in the same pass.
constexpr OptionRow batch_rows[] = {
    {.name = "--recursive",
     .help = "also convert the files of all sub-folders\n(symbolic links to folders are not followed)",
     .set = [](const OptionRow&, OptionsRead& to, const char*) { return on(batchArgs(to).batch.settings.recursive); },
     .letter = 'r'},
    {.name = "--output-dir",
     .help = "write the outputs under DIR: a file operand's\noutput straight into DIR, a folder's files with\n"
             "their path below that folder; folders are made",
     .set = setOutputDir, .valueName = "DIR", .letter = 'o'},
    {.name = "--force", .help = "replace outputs that exist (else they are skipped)",
     .set = [](const OptionRow&, OptionsRead& to, const char*) { return on(batchArgs(to).batch.settings.force); },
     .letter = 'f'},
    {.name = "--jobs", .help = "convert N files at once (default: one per processor)", .set = setJobs,
     .valueName = "N", .letter = 'j'},
    {.name = "--quiet", .help = "no progress line and no summary line",
     .set = [](const OptionRow&, OptionsRead& to, const char*) { return on(batchArgs(to).batch.quiet); },
     .letter = 'q'},
    {.name = "--verbose",
     .help = "also a line for each file that converted or was\nskipped (a.rsr -> a.obj)",
     .set = [](const OptionRow&, OptionsRead& to, const char*) { return on(batchArgs(to).batch.verbose); },
     .letter = 'v'},
};

// The options about the program rather than a conversion.
constexpr OptionRow program_rows[] = {
    {.name = "--help", .help = "show this text",
     .set = [](const OptionRow&, OptionsRead& to, const char*) { return on(args(to).help); }},
    {.name = "--version", .help = "show the version",
     .set = [](const OptionRow&, OptionsRead& to, const char*) { return on(args(to).version); }},
};

constexpr std::span<const OptionRow> every_table[] = {option_table, batch_rows, program_rows};

// The usage error of a batch option in the one-file form.
std::string batchOnlyText() {
    std::vector<std::string> letters;
    for (const OptionRow& r : batch_rows) letters.push_back(std::string("-") + r.letter);
    return listed(letters, " and ") + " apply to the batch form only";
}

// Reads the options wherever they stand, in one pass; "--" ends them, and
// "-" alone is an operand (standard output).
Args parseArgs(int argc, char** argv) {
    Args a;
    bool options = true;
    for (int i = 1; i < argc && a.error.empty(); ++i) {
        const char* arg = argv[i];
        if (!options || arg[0] != '-' || !arg[1])
            a.operands.push_back(arg);
        else if (std::strcmp(arg, "--") == 0)
            options = false;
        else if (readOption(every_table, argc, argv, i, a, a.error) == 2)
            ++i;  // the option's value was the next entry; when none was read, error says why
    }
    return a;
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    try {
        return std::filesystem::is_directory(toPath(path), ec);
    } catch (const std::exception&) {
        return false;  // not a name of this system: the batch form says so
    }
}

// Two operands, the second "-" or the name of an output (output_kinds.h),
// the first not a folder.
bool oneFileForm(const std::vector<std::string>& operands) {
    return operands.size() == 2 && (operands[1] == "-" || kindNamed(operands[1].c_str())) && !isFolder(operands[0]);
}

// The one-file form's rules for its output out, written with the options
// o (withOutputName's): binary data goes to standard output only when that
// is no terminal, and a kind an option asks for to a name of that kind.
// Empty when they hold.
std::string outputProblem(const std::string& out, const OutputOptions& o) {
    const OutputKind& kind = kindAsked(o);
    const char* option = optionName(kind);
    if (!option) return "";  // no option asks for another kind, so neither does the name
    if (out == "-")
        return kind.binary && isTerminal(stdout)
                   ? std::string(option) +
                         " writes binary data: '-' as the output needs standard output to go to a file or a pipe, "
                         "not a terminal"
                   : "";
    return kindNamed(out.c_str()) == &kind ? "" : std::string("with ") + option + " the output must end in " + kind.extension;
}

// --png with another kind's option: a picture beside each output, which
// only the batch form writes.
bool pictureBeside(const OutputOptions& o) { return o.png && &kindAsked(o) != kindOf(&OutputOptions::png); }

// Operands given as file URIs, as paths; empty when they all are, else the
// usage error.
std::string uriOperands(std::vector<std::string>& operands) {
    for (std::string& operand : operands) {
        std::string path, why;
        if (!isFileUri(operand)) continue;
        if (!fileUriPath(operand, path, why)) return operand + ": " + why;
        operand = path;
    }
    return "";
}

int usageError(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "quarlen: %s\n", why.c_str());
    std::fputs(short_usage, stderr);
    return status_usage;
}

int convertOne(const std::string& in, const std::string& out, const OutputOptions& options) {
    const bool toStdout = out == "-";
    if (!hasExtension(in.c_str(), ".rsr")) {
        printNotice(bad_filename_text, "", notice_warning);
        return status_usage;
    }
    // Writing the output would empty the input first (a link to it, say).
    std::error_code same;
    if (!toStdout && std::filesystem::equivalent(toPath(in), toPath(out), same)) {
        std::fprintf(stderr, "%s: %sit is the input file\n", out.c_str(), output_not_created_text);
        return status_failed;
    }
    RunRequest req;
    req.input = in.c_str();
    req.output = out.c_str();
    req.notices = consoleNotices();
    req.options = &options;
    if (toStdout) {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);  // the OBJ's CR LF line ends, or the GLB, as they are
#endif
        req.stream = stdout;
    }
    const RunResult r = convertRSR(req);
    switch (r.outcome) {
    case RunOutcome::finished:
        return status_finished;
    case RunOutcome::failed:
    case RunOutcome::cancelled:
        return status_failed;
    case RunOutcome::input_not_opened:
        std::fprintf(stderr, "%s: %s%s\n", in.c_str(), input_not_opened_text, std::strerror(r.error));
        return status_failed;
    case RunOutcome::output_not_created:
        std::fprintf(stderr, "%s: %s%s\n", out.c_str(), output_not_created_text, std::strerror(r.error));
        return status_failed;
    }
    return status_failed;
}

// --info: the files the operands give, as the batch form finds them, each
// described; an operand that gives none is told as in the batch form.
int describe(const std::vector<std::string>& operands, BatchSettings settings) {
    settings.force = true;  // outputs play no part
    std::vector<std::string> inputs;
    int status = status_finished;
    for (const BatchItem& item : planBatch(operands, settings)) {
        if (item.out.empty()) {
            printNotice(item.problem.c_str(), item.in.c_str(), notice_plain);
            status = status_failed;
        } else {
            inputs.push_back(item.in);
        }
    }
    if (!inputs.empty() && printInfo(inputs) != 0) status = status_failed;
    return status;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Names are UTF-8 throughout (the program's manifest makes that the
    // code page); the console shows them as such.
    SetConsoleOutputCP(CP_UTF8);
#endif
    Args a = parseArgs(argc, argv);
    if (!a.error.empty()) return usageError(a.error);
    if (a.help) {
        std::fputs(usage_text, stdout);
        const std::span<const OptionRow> own[] = {batch_rows, program_rows};
        std::fputs(optionHelpLines(own, 24).c_str(), stdout);
        std::fputs(usage_tail, stdout);
        std::fputs(outputOptionsHelp().c_str(), stdout);
        return status_finished;
    }
    if (a.version) {
        std::puts("quarlen " QUARLEN_VERSION);
        return status_finished;
    }
    if (a.operands.empty()) return usageError("");
    if (const std::string bad = uriOperands(a.operands); !bad.empty()) return usageError(bad);
    const bool oneFile = !a.info && oneFileForm(a.operands);
    const OutputOptions options = oneFile ? withOutputName(a.output, a.operands[1].c_str()) : a.output;
    if (const std::string conflict = outputFlagsConflict(options, a.info, oneFile && a.operands[1] == "-");
        !conflict.empty())
        return usageError(conflict);
    if (a.info) return describe(a.operands, a.batch.settings);
    if (oneFile) {
        if (a.batchOption) return usageError(batchOnlyText());
        if (pictureBeside(options))
            return usageError(std::string("--png with ") + optionName(kindAsked(options)) +
                              " writes two files for each input, which only the batch form does");
        if (const std::string problem = outputProblem(a.operands[1], options); !problem.empty())
            return usageError(problem);
        return convertOne(a.operands[0], a.operands[1], options);
    }
    a.batch.operands = a.operands;
    a.batch.settings.extension = kindAsked(options).extension;
    if (pictureBeside(options)) a.batch.settings.pictureExtension = kindOf(&OutputOptions::png)->extension;
    a.batch.options = &options;
    return runBatchForm(a.batch);
}
