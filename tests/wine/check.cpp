#include "check.h"

#include <cstdio>

static int passed;
static int failed;

void check(bool ok, const std::string& what, const std::string& detail)
{
    if (ok) {
        ++passed;
        std::printf("ok   %s\n", what.c_str());
    } else {
        ++failed;
        std::printf("FAIL %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
}

int checksPassed() { return passed; }
int checksFailed() { return failed; }
