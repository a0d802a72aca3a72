#include "translate_steps.h"

#include <cstdio>

static const DWORD dialog_ms = 20000;

bool answerDialogs(const Program& p, const DialogAnswers& a, std::string& why)
{
    DWORD pid = p.pi.dwProcessId;
    PostMessageA(p.main, WM_COMMAND, 257, 0);
    HWND open = waitDialog(pid, "file to read from?", dialog_ms);
    if (!open) {
        why = "no Open dialog";
        return false;
    }
    chooseFile(open, a.in);
    if (!waitGone(open, dialog_ms)) {
        why = "the Open dialog did not take " + a.in;
        return false;
    }
    HWND save = waitDialog(pid, "file to write mesh to?", dialog_ms);
    if (!save) {
        why = "no Save As dialog";
        return false;
    }
    if (!a.deleteBeforeSave.empty() && !DeleteFileW(wide(a.deleteBeforeSave).c_str())) {
        why = "could not remove " + a.deleteBeforeSave;
        return false;
    }
    chooseFile(save, a.out);
    if (a.replace) {
        HWND ask = waitDialog(pid, nullptr, dialog_ms, save);
        if (!ask || GetWindow(ask, GW_OWNER) != save) {
            why = "no question whether to replace " + a.out;
            return false;
        }
        pressButton(ask, IDYES);
    }
    if (!waitGone(save, dialog_ms)) {
        why = "the Save As dialog did not take " + a.out;
        return false;
    }
    return true;
}

std::vector<Notice> collectNotices(const Program& p)
{
    std::vector<Notice> seen;
    for (int i = 0; i < 10; ++i) {
        if (!roundTrip(p.main))
            break;
        HWND box = findDialog(p.pi.dwProcessId, nullptr);
        if (!box)
            break;
        seen.push_back(readNotice(box));
        pressButton(box, IDOK);
        if (!waitGone(box, 10000))
            break;
    }
    return seen;
}

static std::string describe(const Notice& n)
{
    return "\"" + n.text + "\" [" + n.caption + "] with " + iconName(n.icon);
}

std::string compareNotices(const std::vector<Notice>& seen, const std::vector<Expected>& want)
{
    std::string why;
    for (size_t i = 0; i < seen.size() || i < want.size(); ++i) {
        if (i >= want.size()) {
            why += " unexpected " + describe(seen[i]) + ";";
        } else if (i >= seen.size()) {
            why += " missing \"" + want[i].text + "\";";
        } else if (seen[i].text != want[i].text || seen[i].caption != want[i].caption ||
                   seen[i].icon != want[i].icon) {
            Notice w{want[i].caption, want[i].text, want[i].icon};
            why += " got " + describe(seen[i]) + ", want " + describe(w) + ";";
        }
    }
    return why;
}

static bool readAll(const std::string& path, std::string& bytes)
{
    FILE* f = _wfopen(wide(path).c_str(), L"rb");
    if (!f)
        return false;
    char buf[65536];
    size_t n;
    bytes.clear();
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    std::fclose(f);
    return true;
}

std::string compareFiles(const std::string& got, const std::string& want)
{
    std::string a, b;
    if (!readAll(got, a))
        return "cannot read " + got;
    if (!readAll(want, b))
        return "cannot read " + want;
    if (a == b)
        return "";
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return std::to_string(a.size()) + " bytes against " + std::to_string(b.size()) +
           ", first difference at byte " + std::to_string(i);
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
