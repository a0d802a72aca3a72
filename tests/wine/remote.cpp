#include "remote.h"

#include <vector>

static const DWORD poll_ms = 50;
static const UINT reply_ms = 20000;  // a conversion may run before a reply

// Polls cond every 50 ms until it holds or ms have passed.
template <class Cond>
static bool waitUntil(Cond cond, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(poll_ms);
    }
}

std::wstring wide(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), NULL, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), NULL, 0, NULL,
                                NULL);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, NULL, NULL);
    return s;
}

std::string className(HWND wn)
{
    char buf[256] = "";
    GetClassNameA(wn, buf, sizeof buf);
    return buf;
}

std::string textOf(HWND wn)
{
    WCHAR buf[2048] = L"";
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(wn, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL,
                             reply_ms, &got))
        return "<no reply>";
    return utf8(std::wstring(buf, got));
}

std::string windowTitle(HWND wn)
{
    WCHAR buf[2048] = L"";
    int n = GetWindowTextW(wn, buf, 2048);
    return utf8(std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0)));
}

struct Search {
    DWORD pid;
    const char* cls;
    const char* title;
    HWND other;
    HWND found;
};

static BOOL CALLBACK matchWindow(HWND wn, LPARAM lp)
{
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(wn, &pid);
    if (pid != s->pid || wn == s->other || className(wn) != s->cls)
        return TRUE;
    if (s->title) {
        char buf[512] = "";
        GetWindowTextA(wn, buf, sizeof buf);
        if (std::string(buf) != s->title)
            return TRUE;
    }
    s->found = wn;
    return FALSE;
}

static HWND findTopLevel(DWORD pid, const char* cls, const char* title, HWND other)
{
    Search s{pid, cls, title, other, NULL};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND findDialog(DWORD pid, const char* title, HWND other)
{
    return findTopLevel(pid, "#32770", title, other);
}

HWND waitDialog(DWORD pid, const char* title, DWORD ms, HWND other)
{
    HWND found = NULL;
    waitUntil([&] { return (found = findDialog(pid, title, other)) != NULL; }, ms);
    return found;
}

bool waitGone(HWND wn, DWORD ms)
{
    return waitUntil([&] { return !IsWindow(wn); }, ms);
}

bool startProgram(const std::string& exe, Program& p, const std::string& args)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring path = wide(exe);
    std::wstring line = args.empty() ? path : L"\"" + path + L"\" " + wide(args);
    std::vector<WCHAR> cmd(line.begin(), line.end());
    cmd.push_back(L'\0');
    if (!CreateProcessW(path.c_str(), cmd.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &p.pi))
        return false;
    // Wait until the program has reached its message loop: only then is the
    // window in its final place.
    WaitForInputIdle(p.pi.hProcess, 30000);
    DWORD pid = p.pi.dwProcessId;
    waitUntil([&] {
        p.main = findTopLevel(pid, "quarlen", NULL, NULL);
        return p.main && IsWindowVisible(p.main);
    }, 30000);
    return p.main != NULL && roundTrip(p.main);
}

long waitExit(Program& p, DWORD ms)
{
    if (WaitForSingleObject(p.pi.hProcess, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD status = 0;
    GetExitCodeProcess(p.pi.hProcess, &status);
    return static_cast<long>(status);
}

void endProgram(Program& p)
{
    if (WaitForSingleObject(p.pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(p.pi.hProcess, 99);
    CloseHandle(p.pi.hThread);
    CloseHandle(p.pi.hProcess);
    p = Program{};
}

bool roundTrip(HWND wn)
{
    DWORD_PTR got = 0;
    return SendMessageTimeoutA(wn, WM_NULL, 0, 0, SMTO_NORMAL, reply_ms, &got) != 0;
}

static BOOL CALLBACK findEdit(HWND wn, LPARAM lp)
{
    if (className(wn) == "Edit") {
        *reinterpret_cast<HWND*>(lp) = wn;
        return FALSE;
    }
    return TRUE;
}

HWND fileNameBox(HWND dlg)
{
    HWND box = GetDlgItem(dlg, 0x47C);  // the file-name combo box
    HWND edit = NULL;
    if (box)
        EnumChildWindows(box, findEdit, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

std::string fileTypeText(HWND dlg)
{
    HWND types = GetDlgItem(dlg, 0x470);  // the file-type combo box
    return types ? textOf(types) : "<no file-type box>";
}

void chooseFile(HWND dlg, const std::string& name)
{
    DWORD_PTR got = 0;
    std::wstring w = wide(name);
    SendMessageTimeoutW(fileNameBox(dlg), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()),
                        SMTO_NORMAL, reply_ms, &got);
    pressButton(dlg, IDOK);
}

void pressButton(HWND dlg, int id)
{
    PostMessageA(dlg, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

Pixels pixelsOf(HDC dc, HBITMAP bmp, int w, int h)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    Pixels px(static_cast<size_t>(w) * static_cast<size_t>(h));
    GetDIBits(dc, bmp, 0, static_cast<UINT>(h), px.data(), &bi, DIB_RGB_COLORS);
    return px;
}

// Which system icon the icon control of a message box shows: its pixels on
// the screen are compared with each system icon as this process draws it on
// the same background.
static IconKind iconOnScreen(HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return IconKind::none;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    COLORREF background = GetPixel(screen, r.left - 1, r.top);
    SelectObject(mem, old);
    Pixels shown = pixelsOf(mem, bmp, w, h);

    const LPCSTR ids[] = {IDI_EXCLAMATION, IDI_HAND, IDI_QUESTION, IDI_ASTERISK};
    size_t best = shown.size() + 1;
    int bestIndex = -1;
    HBRUSH fill = CreateSolidBrush(background);
    RECT all{0, 0, w, h};
    for (int i = 0; i < 4; ++i) {
        old = SelectObject(mem, bmp);
        FillRect(mem, &all, fill);
        DrawIconEx(mem, 0, 0, LoadIconA(NULL, ids[i]), w, h, 0, NULL, DI_NORMAL);
        SelectObject(mem, old);
        Pixels drawn = pixelsOf(mem, bmp, w, h);
        size_t differ = 0;
        for (size_t k = 0; k < drawn.size(); ++k)
            differ += drawn[k] != shown[k];
        if (differ < best) {
            best = differ;
            bestIndex = i;
        }
    }
    DeleteObject(fill);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    // An exact match is expected; a few pixels of slack for anti-aliasing.
    if (bestIndex == 0 && best * 20 < shown.size())
        return IconKind::exclamation;
    return IconKind::other;
}

Notice readNotice(HWND box)
{
    Notice n;
    n.caption = windowTitle(box);
    HWND text = GetDlgItem(box, 0xFFFF);
    n.text = text ? textOf(text) : "<no text control>";
    HWND icon = GetDlgItem(box, 0x440);
    DWORD_PTR shown = 0;
    if (icon && IsWindowVisible(icon) &&
        SendMessageTimeoutA(icon, STM_GETICON, 0, 0, SMTO_NORMAL, reply_ms, &shown) && shown)
    {
        // The box may not be painted yet when it is first found.
        waitUntil([&] { return (n.icon = iconOnScreen(icon)) == IconKind::exclamation; }, 3000);
    }
    return n;
}

const char* iconName(IconKind k)
{
    switch (k) {
    case IconKind::none: return "no icon";
    case IconKind::exclamation: return "exclamation icon";
    case IconKind::other: return "another icon";
    }
    return "?";
}
