// quarlen_memprobe INPUT OUTPUT [--weld]: converts one file (with --weld,
// also cleaned) and prints the process's peak resident memory, for the
// memory tests. A process of its own, so that the peak belongs to this one
// conversion and nothing else.
#include <cstdio>
#include <string>
#include <sys/resource.h>

#include "convert/run/run.h"
#include "convert/format/notice.h"
#include "convert/options/output_options.h"

using namespace quarlen;

namespace {
int notices = 0;
void count(void*, const char*, const char*, unsigned) { ++notices; }
}  // namespace

int main(int argc, char** argv) {
    const bool weld = argc == 4 && std::string(argv[3]) == "--weld";
    if (argc != 3 && !weld) {
        std::fputs("usage: quarlen_memprobe INPUT OUTPUT [--weld]\n", stderr);
        return 2;
    }
    const OutputOptions o{.clean = true, .weld = true};
    RunRequest req;
    req.input = argv[1];
    req.output = argv[2];
    req.notices = {count, nullptr};
    req.options = weld ? &o : nullptr;
    const RunResult r = convertRSR(req);
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("maxrss_kb=%ld outcome=%d notices=%d\n", u.ru_maxrss, int(r.outcome), notices);
    return 0;
}
