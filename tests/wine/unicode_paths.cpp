// Paths beyond ASCII and beyond 256 bytes: the program's code page is UTF-8,
// and its path buffers hold the longest path the dialogs return.
#include "check.h"
#include "session.h"
#include "texts.h"
#include "translate_steps.h"

static const DWORD dialog_ms = 20000;

static std::string folderOf(const std::string& path)
{
    return path.substr(0, path.rfind('\\'));
}

static std::string withObj(const std::string& rsr)
{
    return rsr.substr(0, rsr.size() - 4) + ".obj";
}

bool checkUnicodePaths(const Setup& s, const Program& p)
{
    const size_t deepChars = wide(s.deepIn).size();
    // More bytes than buffers of 2 bytes a character would hold.
    check(deepChars >= 240 && deepChars < 260 && s.deepIn.size() > 2 * 260,
          "the deep path has 240 to 259 characters and more than 520 bytes",
          std::to_string(deepChars) + " characters, " + std::to_string(s.deepIn.size()) + " bytes");

    const struct {
        std::string what, in, out;
    } cases[] = {
        {"accented and CJK names, a Cyrillic output name", s.unicodeIn,
         folderOf(s.unicodeIn) + "\\модель.obj"},
        {"a path of " + std::to_string(deepChars) + " characters, mostly CJK", s.deepIn,
         withObj(s.deepIn)},
    };
    for (const auto& c : cases) {
        DialogAnswers a;
        a.in = c.in;
        a.out = c.out;
        std::string why;
        if (!answerDialogs(p, a, why)) {
            check(false, c.what, why);
            return false;
        }
        std::string diff = compareNotices(collectNotices(p), {{finished_text, c.out, IconKind::none}});
        if (diff.empty())
            diff = compareFiles(c.out, s.expected + "\\good.obj");
        check(diff.empty(), c.what + ": \"Finished\" with the output path as caption, output identical",
              diff);
    }
    return true;
}

// The copy with 200-byte buffers, given the deep path of about 250
// characters: each dialog in turn refuses it with the notice.
void checkNameTooLong(const Setup& s)
{
    Program p;
    if (!startProgram(s.shortExe, p)) {
        check(false, "the copy with short path buffers starts", s.shortExe);
        endProgram(p);
        return;
    }
    DWORD pid = p.pi.dwProcessId;
    const IconKind warn = IconKind::exclamation;

    PostMessageA(p.main, WM_COMMAND, 257, 0);
    HWND open = waitDialog(pid, "file to read from?", dialog_ms);
    if (open) {
        chooseFile(open, s.deepIn);
        waitGone(open, dialog_ms);
    }
    std::vector<Notice> seen = collectNotices(p);
    std::string diff = compareNotices(seen, {{too_long_text, "file to read from?", warn}});
    check(open && diff.empty(), "input path too long for the buffer: the notice, and no Save As dialog",
          open ? diff : "no Open dialog");

    // A new name one character longer, so no question whether to replace it comes first.
    const std::string deepOut = withObj(s.deepIn);
    const std::string out = folderOf(deepOut) + "\\x" + deepOut.substr(deepOut.rfind('\\') + 1);
    DialogAnswers a;
    a.in = s.data + "\\good.rsr";
    a.out = out;
    std::string why;
    if (answerDialogs(p, a, why)) {
        diff = compareNotices(collectNotices(p), {{too_long_text, "file to write mesh to?", warn}});
        if (fileExists(out))
            diff += " " + out + " was written";
    } else {
        diff = why;
    }
    check(diff.empty(), "output path too long for the buffer: the notice, no conversion", diff);

    // The program goes on as before.
    a.out = s.out + "\\after-too-long.obj";
    if (answerDialogs(p, a, why)) {
        diff = compareNotices(collectNotices(p), {{finished_text, a.out, IconKind::none}});
        if (diff.empty())
            diff = compareFiles(a.out, s.expected + "\\good.obj");
    } else {
        diff = why;
    }
    check(diff.empty(), "after those notices a conversion runs as before", diff);

    PostMessageA(p.main, WM_CLOSE, 0, 0);
    long status = waitExit(p, 10000);
    check(status == 0, "the copy with short path buffers ends with status 0", std::to_string(status));
    endProgram(p);
}
