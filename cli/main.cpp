// quarlen INPUT.rsr OUTPUT.obj: converts one Poser geometry file to OBJ text.
#include <cstdio>
#include <cstring>

#include "convert/conversion.h"
#include "convert/notice.h"

namespace {

enum Status { status_finished = 0, status_failed = 1, status_usage = 2 };

constexpr const char* usage_text =
    "usage: quarlen INPUT.rsr OUTPUT.obj\n"
    "Converts a Poser geometry file (.rsr) into a Wavefront OBJ text file (.obj).\n"
    "Each message is one line on standard error. Exit status: 0 finished,\n"
    "1 the conversion failed or a file could not be opened, 2 usage error.\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage_text, stdout);
        return status_finished;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("quarlen " QUARLEN_VERSION);
        return status_finished;
    }
    if (argc != 3) {
        std::fputs(usage_text, stderr);
        return status_usage;
    }
    const char* file = argv[1];
    const char* File = argv[2];
    if (!hasExtension(file, ".rsr") || !hasExtension(File, ".obj")) {
        notice(bad_filename_text, "", notice_warning);
        return status_usage;
    }
    const RunResult r = convertRSR(file, File);
    switch (r.outcome) {
    case RunOutcome::finished:
        return status_finished;
    case RunOutcome::failed:
    case RunOutcome::cancelled:
        return status_failed;
    case RunOutcome::input_not_opened:
        std::fprintf(stderr, "%s: cannot open the input: %s\n", file, std::strerror(r.error));
        return status_failed;
    case RunOutcome::output_not_created:
        std::fprintf(stderr, "%s: cannot create the output: %s\n", File, std::strerror(r.error));
        return status_failed;
    }
    return status_failed;
}
