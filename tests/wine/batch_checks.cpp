#include "batch_checks.h"

#include <fstream>
#include <sstream>

#include "check.h"
#include "texts.h"
#include "translate_steps.h"

static const DWORD batch_ms = 30000;

static std::string title(HWND wn)
{
    char buf[512] = "";
    GetWindowTextA(wn, buf, sizeof buf);
    return buf;
}

static std::string contents(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

static bool anyTemporaryFile(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    for (const char* pattern : {"\\*.part-*", "\\sub\\*.part-*"}) {
        HANDLE h = FindFirstFileA((dir + pattern).c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            FindClose(h);
            return true;
        }
    }
    return false;
}

void checkCommandLineBatch(const Setup& s)
{
    const std::string dir = s.data + "\\batch", want = s.data + "\\batch-expected";
    const std::string args = "\"" + dir + "\\a.rsr\" \"" + dir + "\\sub\" \"" + dir + "\\skip.rsr\"";
    Program p;
    const bool started = startProgram(s.exe, p, args);
    check(started, "quarlen.exe with two files and a folder on its command line starts");
    if (!started) {
        endProgram(p);
        return;
    }
    const DWORD pid = p.pi.dwProcessId;
    HWND box = waitDialog(pid, "quarlen", batch_ms);
    const Notice n = box ? readNotice(box) : Notice{};
    const std::string failure = dir + "\\sub\\bad.rsr: end of file";
    check(box && n.text.rfind("2 converted, 1 failed, 1 skipped", 0) == 0 &&
              n.text.find(failure) != std::string::npos && n.icon == IconKind::exclamation,
          "one summary notice: 2 converted, 1 failed, 1 skipped, the failure with its text, the warning icon",
          "\"" + n.text + "\" " + iconName(n.icon));
    if (!box) {
        endProgram(p);
        return;
    }
    check(title(p.main) == "quarlen - 4 of 4", "the title shows the progress: \"quarlen - 4 of 4\"",
          title(p.main));

    DWORD_PTR r = 0;
    const bool replied = SendMessageTimeoutA(p.main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &r);
    check(replied && IsWindow(p.main) && title(p.main) == whoa_title,
          "close before the batch's notice is dismissed: refused", title(p.main));
    pressButton(box, IDOK);
    waitGone(box, batch_ms);
    roundTrip(p.main);
    check(title(p.main) == "quarlen" && collectNotices(p).empty(),
          "after the notice: the title is \"quarlen\" again, no other notice", title(p.main));

    std::string diff;
    for (const char* name : {"\\a.obj", "\\sub\\b.obj", "\\sub\\bad.obj"})
        diff += compareFiles(dir + name, want + name);
    check(diff.empty(), "each output is the Linux program's, the failed one as far as it got", diff);
    check(contents(dir + "\\skip.obj") == "keep" && !anyTemporaryFile(dir),
          "an existing output is left alone; no temporary file is left");

    PostMessageA(p.main, WM_CLOSE, 0, 0);
    check(waitExit(p, batch_ms) == 0, "the program then closes with status 0");
    endProgram(p);
}
