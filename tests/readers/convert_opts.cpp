// convert_opts [OUTPUT OPTIONS] IN.rsr OUT.obj [IN.rsr OUT.obj ...]: converts
// each pair in turn with the console program's output options, parsed by
// the same code; for the reader checks, which convert hundreds of files.
// Notices go to standard error as in the console program. Exit status 0
// when every conversion finished, 1 otherwise, 2 for a usage error.
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/notice_console.h"
#include "frontend/output_flags.h"
#include "convert/run/run.h"

using namespace quarlen;

int main(int argc, char** argv) {
    OptionsRead read;
    std::vector<const char*> paths;
    for (int i = 1; i < argc;) {
        std::string error;
        const int n = readOutputOption(argc, argv, i, read, error);
        if (n < 0) {
            std::fprintf(stderr, "convert_opts: %s\n", error.c_str());
            return 2;
        }
        if (n == 0) paths.push_back(argv[i++]);
        i += n;
    }
    if (read.info || paths.empty() || paths.size() % 2 != 0) {
        std::fputs("usage: convert_opts [OUTPUT OPTIONS] IN.rsr OUT.obj [IN.rsr OUT.obj ...]\n", stderr);
        return 2;
    }
    int status = 0;
    for (size_t k = 0; k < paths.size(); k += 2) {
        RunRequest req;
        req.input = paths[k];
        req.output = paths[k + 1];
        req.options = &read.output;
        req.notices = consoleNotices();
        if (convertRSR(req).outcome != RunOutcome::finished) status = 1;
    }
    return status;
}
