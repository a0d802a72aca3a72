#include "session.h"

#include <cstdio>

#include "check.h"
#include "texts.h"
#include "translate_steps.h"

static const DWORD dialog_ms = 20000;

static std::string title(HWND wn)
{
    return windowTitle(wn);
}

// The help text drawn here as the program should draw it into the main
// window: in the system's message font (plain: the device context's own),
// broken between words at the client area's width.
static Pixels helpAsDrawn(const Program& p, bool plain)
{
    RECT all{};
    GetClientRect(p.main, &all);
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    HFONT font = plain ? NULL : CreateFontIndirectW(&m.lfMessageFont);
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, all.right, all.bottom);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HGDIOBJ oldFont = font ? SelectObject(mem, font) : NULL;
    DrawTextA(mem, help_text, -1, &all, DT_WORDBREAK);
    if (oldFont)
        SelectObject(mem, oldFont);
    SelectObject(mem, oldBmp);
    Pixels px = pixelsOf(mem, bmp, all.right, all.bottom);
    DeleteObject(bmp);
    DeleteObject(font);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return px;
}

static Pixels clientOnScreen(HWND wn, int w, int h)
{
    POINT at{0, 0};
    ClientToScreen(wn, &at);
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, at.x, at.y, SRCCOPY);
    SelectObject(mem, old);
    Pixels px = pixelsOf(mem, bmp, w, h);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return px;
}

std::string clientShows(const Program& p, const std::function<std::string(const Pixels&, int)>& says)
{
    RECT r{};
    GetClientRect(p.main, &r);
    std::string why;
    for (DWORD start = GetTickCount(); !(why = says(clientOnScreen(p.main, r.right, r.bottom), r.right)).empty() &&
                                       GetTickCount() - start < 3000;)
        Sleep(50);
    return why;
}

std::string helpDiffers(const Program& p)
{
    const Pixels want = helpAsDrawn(p, false);
    return clientShows(p, [&](const Pixels& shown, int) {
        size_t differ = 0;
        for (size_t i = 0; i < shown.size() && i < want.size(); ++i)
            differ += shown[i] != want[i];
        return shown == want && !want.empty()
                   ? "" : std::to_string(differ) + " of " + std::to_string(shown.size()) + " pixels differ";
    });
}

// The client area shows the help text in the system's message font, pixel
// for pixel as this process draws it, and not as the default font draws it.
static void checkHelpText(const Program& p)
{
    const bool fontsDiffer = helpAsDrawn(p, false) != helpAsDrawn(p, true);
    InvalidateRect(p.main, NULL, TRUE);
    roundTrip(p.main);
    const std::string differ = helpDiffers(p);
    check(differ.empty() && fontsDiffer,
          "help text drawn in the message font, broken between words at the window's width",
          differ + (fontsDiffer ? "" : "; the two fonts draw alike"));
}

void checkMainWindow(const Program& p)
{
    check(className(p.main) == "quarlen" && title(p.main) == "quarlen",
          "main window: class \"quarlen\", title \"quarlen\"",
          className(p.main) + " / " + title(p.main));
    // These two class fields are the ones Wine tells other processes.
    DWORD classStyle = GetClassLongA(p.main, GCL_STYLE);
    DWORD extra = GetClassLongA(p.main, GCL_CBWNDEXTRA);
    DWORD style = static_cast<DWORD>(GetWindowLongA(p.main, GWL_STYLE));
    const DWORD wanted = WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | WS_VISIBLE;
    char got[120];
    std::snprintf(got, sizeof got, "class style 0x%lx, %lu extra bytes, window style 0x%lx",
                  classStyle, extra, style);
    check(classStyle == (CS_VREDRAW | CS_HREDRAW | CS_SAVEBITS) && extra == 2 &&
              (style & wanted) == wanted && !(style & (WS_CHILD | WS_POPUP)),
          "class style 0x0803 with 2 extra bytes; an overlapped, maximized, visible window", got);

    RECT r{};
    GetWindowRect(p.main, &r);
    char where[80];
    std::snprintf(where, sizeof where, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    check(IsZoomed(p.main) && r.left == -4 && r.top == -4,
          "main window is maximized with its top-left corner at (-4,-4)",
          std::string(IsZoomed(p.main) ? "zoomed " : "not zoomed ") + where);
    checkHelpText(p);
}

// The proposed name is filled in a moment after the dialog appears: wait
// for the file-type box, which is filled at the same time, then ask once
// more after the dialog has taken a message.
static std::string proposedName(HWND dlg, std::string& types)
{
    DWORD start = GetTickCount();
    while ((types = fileTypeText(dlg)).empty() && GetTickCount() - start < 5000)
        Sleep(50);
    roundTrip(dlg);
    return textOf(fileNameBox(dlg));
}

// Waits for a dialog; a dialog that never comes is a failed check.
static HWND dialogOrFail(DWORD pid, const char* dialogTitle)
{
    HWND dlg = waitDialog(pid, dialogTitle, dialog_ms);
    if (!dlg)
        check(false, std::string("dialog \"") + dialogTitle + "\" appears");
    return dlg;
}

// Checks one dialog's title, proposed name and file type, then answers it.
static bool answer(const std::string& step, DWORD pid, const char* dialogTitle,
                   const std::string& proposed, const char* filter, const std::string& name)
{
    HWND dlg = waitDialog(pid, dialogTitle, dialog_ms);
    check(dlg != NULL, step + ": dialog \"" + dialogTitle + "\" appears");
    if (!dlg)
        return false;
    std::string types;
    std::string got = proposedName(dlg, types);
    check(got == proposed && types == filter,
          step + ": \"" + dialogTitle + "\" proposes \"" + proposed + "\", file type \"" + filter +
              "\"",
          "\"" + got + "\", \"" + types + "\"");
    chooseFile(dlg, name);
    return waitGone(dlg, dialog_ms);
}

bool checkFirstConversion(const Setup& s, const Program& p)
{
    DWORD pid = p.pi.dwProcessId;
    std::string in = s.data + "\\good.rsr", out = s.out + "\\good.obj";
    PostMessageA(p.main, WM_COMMAND, 257, 0);
    if (!answer("first translate", pid, "file to read from?", "", "RSR files", in) ||
        !answer("first translate", pid, "file to write mesh to?", "", "OBJ files", out))
        return false;

    roundTrip(p.main);
    HWND box = findDialog(pid, nullptr);
    Notice n = box ? readNotice(box) : Notice{};
    check(box && n.text == finished_text && n.caption == out && n.icon == IconKind::none,
          "good.rsr: \"Finished\" notice, caption the output path, no icon",
          "\"" + n.text + "\" [" + n.caption + "] " + iconName(n.icon));
    if (!box)
        return false;

    // While the notice is up the run still has both files open.
    DWORD_PTR r = 0;
    bool replied = SendMessageTimeoutA(p.main, WM_COMMAND, 257, 0, SMTO_NORMAL, 5000, &r);
    HWND extra = findDialog(pid, nullptr, box);
    check(replied && !extra && IsWindow(box) && title(p.main) == "quarlen",
          "translate while a notice is up: refused, no dialog, title kept",
          std::string(replied ? "" : "no reply; ") + (extra ? "a dialog opened: " + title(extra) : ""));
    if (extra) {
        pressButton(extra, IDCANCEL);
        waitGone(extra, dialog_ms);
    }

    replied = SendMessageTimeoutA(p.main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &r);
    check(replied && IsWindow(p.main) && IsWindow(box) && title(p.main) == whoa_title,
          std::string("close while a notice is up: refused, title \"") + whoa_title + "\"",
          std::string(IsWindow(p.main) ? "title " + title(p.main) : "the window is gone"));
    if (!IsWindow(p.main))
        return false;

    pressButton(box, IDOK);
    waitGone(box, dialog_ms);
    std::vector<Notice> more = collectNotices(p);
    std::string diff = compareFiles(out, s.expected + "\\good.obj");
    check(more.empty() && diff.empty(), "good.rsr: output identical to the Linux program's",
          diff + (more.empty() ? "" : " and more notices followed"));
    return true;
}

bool checkDialogs(const Setup& s, const Program& p)
{
    DWORD pid = p.pi.dwProcessId;
    // The name part of the output file chosen last is proposed next.
    std::string in = s.data + "\\good.rsr", out = s.out + "\\second.obj";
    PostMessageA(p.main, WM_COMMAND, 257, 0);
    if (!answer("second translate", pid, "file to read from?", "good.obj", "RSR files", in) ||
        !answer("second translate", pid, "file to write mesh to?", "", "OBJ files", out))
        return false;
    std::vector<Notice> seen = collectNotices(p);
    std::string diff = compareNotices(seen, {{finished_text, out, IconKind::none}});
    check(diff.empty(), "second translate: \"Finished\"", diff);

    PostMessageA(p.main, WM_COMMAND, 257, 0);
    HWND open = dialogOrFail(pid, "file to read from?");
    if (!open)
        return false;
    pressButton(open, IDCANCEL);
    waitGone(open, dialog_ms);
    seen = collectNotices(p);
    check(!IsWindow(open) && seen.empty(), "cancel the Open dialog: no notice",
          compareNotices(seen, {}));

    // Cancelling the Save As dialog ends the command even with a wrong input name.
    PostMessageA(p.main, WM_COMMAND, 257, 0);
    open = dialogOrFail(pid, "file to read from?");
    if (!open)
        return false;
    chooseFile(open, s.data + "\\model.txt");
    HWND save = dialogOrFail(pid, "file to write mesh to?");
    if (!save)
        return false;
    pressButton(save, IDCANCEL);
    waitGone(save, dialog_ms);
    seen = collectNotices(p);
    check(!IsWindow(save) && seen.empty(), "cancel the Save As dialog after model.txt: no notice",
          compareNotices(seen, {}));
    return true;
}

void checkCloseExit(Program& p)
{
    PostMessageA(p.main, WM_CLOSE, 0, 0);
    long status = waitExit(p, 10000);
    check(status == 0, "WM_CLOSE ends the program with status 0", std::to_string(status));
    endProgram(p);
}

static void exitBy(const Setup& s, UINT message, WPARAM w, const char* what)
{
    Program p;
    const DWORD start = GetTickCount();
    if (!startProgram(s.exe, p)) {
        const char* stage = !p.pi.hProcess ? "not started" : !p.main ? "no main window" : "no reply";
        check(false, what, stage + std::string(" after ") + std::to_string(GetTickCount() - start) + " ms");
        endProgram(p);
        return;
    }
    PostMessageA(p.main, message, w, 0);
    long status = waitExit(p, 10000);
    check(status == 0, what, std::to_string(status));
    endProgram(p);
}

void checkExits(const Setup& s)
{
    exitBy(s, WM_COMMAND, 258, "\"&exit\" (command 258) ends the program with status 0");
    exitBy(s, WM_SYSCOMMAND, SC_CLOSE, "the close box (SC_CLOSE) ends the program with status 0");
}
