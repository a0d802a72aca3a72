// End-to-end checks of quarlen.exe, run under Wine: starts the program and
// uses it as a person would, through its window, dialogs and notices.
//
// usage: quarlen_wine_driver QUARLEN_EXE DATA_DIR LONG_DIR  (Windows paths)
// DATA_DIR holds the inputs, an empty folder out and the Linux program's
// outputs in expected; LONG_DIR is a folder with a path of over 127
// characters holding long.rsr.
#include <cstdio>

#include "batch_checks.h"
#include "check.h"
#include "resource_checks.h"
#include "session.h"

static void runProgramChecks(const Setup& s)
{
    Program p;
    bool started = startProgram(s.exe, p);
    check(started, "quarlen.exe starts and shows its main window", s.exe);
    if (!started) {
        endProgram(p);
        return;
    }
    checkMainWindow(p);
    if (checkFirstConversion(s, p) && checkDialogs(s, p) && checkOutcomes(s, p))
        checkCloseExit(p);
    else
        check(false, "the program answered every step", "stopped early");
    endProgram(p);
}

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s QUARLEN_EXE DATA_DIR LONG_DIR\n", argv[0]);
        return 2;
    }
    Setup s{argv[1], argv[2], std::string(argv[2]) + "\\out", std::string(argv[2]) + "\\expected",
            argv[3]};
    checkResources(s.exe);
    runProgramChecks(s);
    checkCommandLineBatch(s);
    checkExits(s);
    std::printf("wine suite: %d passed, %d failed\n", checksPassed(), checksFailed());
    return checksFailed() == 0 ? 0 : 1;
}
