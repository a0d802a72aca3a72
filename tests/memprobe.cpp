// quarlen_memprobe INPUT OUTPUT: converts one file and prints the process's
// peak resident memory, for the memory tests. A process of its own, so that
// the peak belongs to this one conversion and nothing else.
#include <cstdio>
#include <sys/resource.h>

#include "convert/conversion.h"
#include "convert/notice.h"

namespace {
int notices = 0;
}

void notice(const char*, const char*, unsigned) { ++notices; }

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: quarlen_memprobe INPUT OUTPUT\n", stderr);
        return 2;
    }
    const RunResult r = convertRSR(argv[1], argv[2]);
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("maxrss_kb=%ld outcome=%d notices=%d\n", u.ru_maxrss, int(r.outcome), notices);
    return 0;
}
