// End-to-end checks of quarlen.exe, run under Wine: starts the program and
// uses it as a person would, through its window, dialogs and notices.
//
// usage: quarlen_wine_driver QUARLEN_EXE SHORT_EXE DATA_DIR LONG_DIR UNICODE_RSR DEEP_RSR VERSION
//        quarlen_wine_driver --package QUARLEN_EXE VERSION
//        quarlen_wine_driver --resources QUARLEN_EXE VERSION
// All paths are Windows paths. SHORT_EXE is the copy of the program with
// 200-byte path buffers. DATA_DIR holds the inputs, an empty folder out and
// the Linux program's outputs in expected; LONG_DIR is a folder with a path
// of over 127 characters holding long.rsr; UNICODE_RSR and DEEP_RSR are
// inputs under folders with accented and CJK names, DEEP_RSR with a path of
// about 250 characters. VERSION is the project version ("1.1.0").
// The second form checks a packaged quarlen.exe: its resources, its start
// and its end. The third checks its resources alone, read as data, which
// works for a program this machine cannot run.
#include <windows.h>

#include <cstdio>
#include <vector>

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
    if (checkFirstConversion(s, p) && checkDialogs(s, p) && checkOutcomes(s, p) &&
        checkUnicodePaths(s, p))
        checkCloseExit(p);
    else
        check(false, "the program answered every step", "stopped early");
    endProgram(p);
}

static void runPackageChecks(const std::string& exe, const std::string& version)
{
    checkResources(exe, version);
    Program p;
    bool started = startProgram(exe, p);
    check(started, "the packaged quarlen.exe starts and shows its main window", exe);
    if (started) {
        checkMainWindow(p);
        checkCloseExit(p);
    }
    endProgram(p);
}

// The arguments as UTF-8, whatever the ANSI code page.
static std::vector<std::string> arguments()
{
    int n = 0;
    LPWSTR* w = CommandLineToArgvW(GetCommandLineW(), &n);
    std::vector<std::string> args;
    for (int i = 1; i < n; ++i)
        args.push_back(utf8(w[i]));
    LocalFree(w);
    return args;
}

int main()
{
    std::vector<std::string> a = arguments();
    if (a.size() == 3 && a[0] == "--package") {
        runPackageChecks(a[1], a[2]);
    } else if (a.size() == 3 && a[0] == "--resources") {
        checkResources(a[1], a[2]);
    } else if (a.size() == 7) {
        Setup s{a[0], a[1], a[2], a[2] + "\\out", a[2] + "\\expected", a[3], a[4], a[5], a[6]};
        checkResources(s.exe, s.version);
        runProgramChecks(s);
        checkCommandLineBatch(s);
        checkNameTooLong(s);
        checkExits(s);
    } else {
        std::fprintf(stderr,
                     "usage: quarlen_wine_driver QUARLEN_EXE SHORT_EXE DATA_DIR LONG_DIR "
                     "UNICODE_RSR DEEP_RSR VERSION\n"
                     "       quarlen_wine_driver --package QUARLEN_EXE VERSION\n"
                     "       quarlen_wine_driver --resources QUARLEN_EXE VERSION\n");
        return 2;
    }
    std::printf("driver: %d passed, %d failed\n", checksPassed(), checksFailed());
    return checksFailed() == 0 ? 0 : 1;
}
