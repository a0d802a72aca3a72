// quarlen: converts Poser geometry files to OBJ text or binary glTF, one
// file or a whole library at a time.
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch_form.h"
#include "frontend/notice_console.h"
#include "frontend/info_print.h"
#include "frontend/output_flags.h"
#include "convert/run/run.h"
#include "convert/format/notice.h"
#include "convert/options/option_table.h"
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
    "       quarlen INPUT.rsr -\n"          \
    "       quarlen [OPTIONS] PATH...\n"    \
    "       quarlen --info PATH...\n"

constexpr const char* short_usage = QUARLEN_SYNOPSIS "Try 'quarlen --help' for more.\n";

constexpr const char* usage_text =
    QUARLEN_SYNOPSIS
    "Converts Poser geometry files (.rsr) into Wavefront OBJ text files (.obj),\n"
    "or with --glb into binary glTF files (.glb).\n"
    "\n"
    "With two operands, the second '-' or ending in .obj or .glb and the first\n"
    "not a folder, converts one file: to OUTPUT.obj, to OUTPUT.glb (as --glb),\n"
    "or to standard output for '-' (with --glb only when that is no terminal).\n"
    "Otherwise every PATH is an .rsr file or a folder of them, and each\n"
    "DIR/NAME.rsr becomes NAME.obj (NAME.glb with --glb) beside it. Files are\n"
    "converted in path order; each is written under a temporary name and\n"
    "renamed into place.\n"
    "\n";

// After the batch form's option lines.
constexpr const char* usage_tail =
    "The output options below apply to both forms.\n"
    "\n"
    "Each message is one line on standard error. In the batch form a file that\n"
    "converts or is skipped prints nothing (the summary counts it), and every\n"
    "line of a file that fails starts with its input's path. Two inputs with\n"
    "the same output fail from the second on. Ctrl-C stops the batch: files in\n"
    "flight leave no temporary file, and the same command later carries on\n"
    "where it stopped.\n"
    "Exit status: 0 every file finished (skipped ones too), 1 a conversion\n"
    "failed or a file could not be opened, 2 usage error, 130 interrupted.\n"
    "\n";

struct Args {
    std::vector<std::string> operands;
    BatchForm batch;
    OutputOptions options;
    bool batchOption = false;  // an option that only the batch form takes
    bool help = false, version = false, info = false;
    std::string error;         // set: a usage error
};

bool parseJobs(const char* text, int& jobs) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno || end == text || *end || n < 1 || n > 1024) return false;
    jobs = int(n);
    return true;
}

// The options of the batch form and of the program, rows of the same kind
// as the output options: "field" names what each sets in Args.
constexpr OptionRow batch_rows[] = {
    {"--recursive", "recursive", OptionKind::batch, nullptr, true, nullptr, nullptr,
     "also convert the files of all sub-folders\n(symbolic links to folders are not followed)", 'r'},
    {"--output-dir", "outputDir", OptionKind::batch, nullptr, true, nullptr, "DIR",
     "write the outputs under DIR: a file operand's\noutput straight into DIR, a folder's files with\n"
     "their path below that folder; folders are made",
     'o'},
    {"--force", "force", OptionKind::batch, nullptr, true, nullptr, nullptr,
     "replace outputs that exist (else they are skipped)", 'f'},
    {"--jobs", "jobs", OptionKind::batch, nullptr, true, nullptr, "N",
     "convert N files at once (default: one per processor)", 'j'},
    {"--quiet", "quiet", OptionKind::batch, nullptr, true, nullptr, nullptr, "no progress line and no summary line", 'q'},
    {"--verbose", "verbose", OptionKind::batch, nullptr, true, nullptr, nullptr,
     "also a line for each file that converted or was\nskipped (a.rsr -> a.obj)", 'v'},
    {"--help", "help", OptionKind::program, nullptr, true, nullptr, nullptr, "show this text"},
    {"--version", "version", OptionKind::program, nullptr, true, nullptr, nullptr, "show the version"},
};

// Sets what a batch or program row w stands for.
void takeOwnRow(Args& a, const OptionWord& w) {
    const std::string_view field = w.row->field;
    if (w.row->kind == OptionKind::batch) a.batchOption = true;
    if (field == "recursive") a.batch.settings.recursive = true;
    else if (field == "force") a.batch.settings.force = true;
    else if (field == "quiet") a.batch.quiet = true;
    else if (field == "verbose") a.batch.verbose = true;
    else if (field == "help") a.help = true;
    else if (field == "version") a.version = true;
    else if (field == "jobs") {
        if (!parseJobs(w.value, a.batch.jobs)) a.error = std::string("bad number of jobs: ") + w.value;
    } else if (field == "outputDir") {
        if (!*w.value) a.error = "the output folder is an empty name";
        a.batch.settings.outputDir = w.value;
    } else {
        assert(!"a row without its field");
    }
}

// Reads the options wherever they stand; "--" ends them, and "-" alone is an
// operand (standard output).
Args parseArgs(int argc, char** argv) {
    Args a;
    bool options = true;
    for (int i = 1; i < argc && a.error.empty(); ++i) {
        const char* arg = argv[i];
        if (!options || arg[0] != '-' || !arg[1]) {
            a.operands.push_back(arg);
        } else if (std::strcmp(arg, "--") == 0) {
            options = false;
        } else if (const int taken = parseOutputFlag(argc, argv, i, a.options, a.info, a.error)) {
            i += taken > 0 ? taken - 1 : 0;
        } else {
            const std::span<const OptionRow> tables[] = {batch_rows};
            std::vector<OptionWord> words;
            const int own = readOptionWord(tables, argc, argv, i, words, a.error);
            for (const OptionWord& w : words)
                if (a.error.empty()) takeOwnRow(a, w);
            i += own > 0 ? own - 1 : 0;
        }
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

// Two operands, the second "-" or an .obj or .glb name, the first not a
// folder.
bool oneFileForm(const std::vector<std::string>& operands) {
    return operands.size() == 2 &&
           (operands[1] == "-" || hasExtension(operands[1].c_str(), ".obj") ||
            hasExtension(operands[1].c_str(), ".glb")) &&
           !isFolder(operands[0]);
}

// The one-file form's rules for a GLB output: it ends in .glb, or is "-"
// with standard output not a terminal. Null when they hold.
const char* glbOutputProblem(const std::string& out) {
    if (out == "-")
        return isTerminal(stdout) ? "--glb writes binary data: '-' as the output needs standard output to go to a "
                                    "file or a pipe, not a terminal"
                                  : nullptr;
    return hasExtension(out.c_str(), ".glb") ? nullptr : "with --glb the output must end in .glb";
}

int usageError(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "quarlen: %s\n", why.c_str());
    std::fputs(short_usage, stderr);
    return status_usage;
}

int convertOne(const std::string& in, const std::string& out, const OutputOptions& options) {
    const bool toStdout = out == "-";
    if (!hasExtension(in.c_str(), ".rsr") || (!toStdout && !hasExtension(out.c_str(), outputExtension(options)))) {
        printNotice(bad_filename_text, "", notice_warning);
        return status_usage;
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
        std::fputs(optionHelpLines(batch_rows, 24).c_str(), stdout);
        std::fputs(usage_tail, stdout);
        std::fputs(outputOptionsHelp().c_str(), stdout);
        return status_finished;
    }
    if (a.version) {
        std::puts("quarlen " QUARLEN_VERSION);
        return status_finished;
    }
    if (a.operands.empty()) return usageError("");
    const bool oneFile = !a.info && oneFileForm(a.operands);
    if (oneFile) takeOutputName(a.options, a.operands[1].c_str());
    if (const char* conflict = outputFlagsConflict(a.options, a.info, oneFile && a.operands[1] == "-"))
        return usageError(conflict);
    if (a.info) return describe(a.operands, a.batch.settings);
    if (oneFile) {
        if (a.batchOption) return usageError("-r, -o, -f, -j, -q and -v apply to the batch form only");
        if (a.options.glb) {
            if (const char* problem = glbOutputProblem(a.operands[1])) return usageError(problem);
        }
        return convertOne(a.operands[0], a.operands[1], a.options);
    }
    a.batch.operands = a.operands;
    a.batch.settings.extension = outputExtension(a.options);
    a.batch.options = &a.options;
    return runBatchForm(a.batch);
}
