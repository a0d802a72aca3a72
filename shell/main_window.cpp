// Start-up, the main window and its messages.
#include "shell/main_window.h"

#include <cstdlib>
#include <cstring>

#include "shell/drop_batch.h"
#include "shell/model_picture.h"


static const char* const help =
    "Translate a Poser geometry .RSR file into .OBJ format. The component "
    "groups will be unwelded from each other at their borders because Poser "
    "did that while translating from .OBJ to .RSR mode.";

static HINSTANCE Instance;
unsigned char fileopen;

// A program that cannot register its class has nothing to show: it ends
// quietly, like every other end of this program, with status 0.
static void Register(const char* name, WNDPROC proc)
{
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_SAVEBITS;
    wc.lpfnWndProc = proc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 2;
    wc.hInstance = Instance;
    wc.hIcon = LoadIconA(Instance, progname);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = NULL;  // attached in WM_CREATE
    wc.lpszClassName = name;
    if (!RegisterClassA(&wc))
        std::exit(0);
}

static HWND newwindow(const char* clas, const char* name, long c)
{
    HWND wn = CreateWindowExA(0, clas, name, static_cast<DWORD>(c) | WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              NULL, NULL, Instance, NULL);
    if (wn) {
        ShowWindow(wn, SW_SHOW);
        UpdateWindow(wn);
    }
    return wn;
}

void SetTitle(HWND wn, const char* S)
{
    SendMessageA(wn, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(S));
}

// The picture of the model converted last, or else the help text.
static void PaintClient(HWND wn)
{
    PAINTSTRUCT ps;
    BeginPaint(wn, &ps);
    HDC dc = GetDC(wn);
    HGDIOBJ old = helpfont ? SelectObject(dc, helpfont) : NULL;
    RECT R;
    GetClientRect(wn, &R);
    if (!PaintPicture(dc, R))
        DrawTextA(dc, help, static_cast<int>(std::strlen(help)), &R, DT_WORDBREAK);
    if (old)
        SelectObject(dc, old);
    ReleaseDC(wn, dc);
    EndPaint(wn, &ps);
}

// Files and folders to convert off the window's thread, one batch at a
// time; it refuses a close and a translate until it ends.
static void StartConversions(HWND wn, const std::vector<std::string>& paths)
{
    if (fileopen || !StartBatch(wn, paths, progname)) {
        MessageBeep(0xFFFFFFFF);
        return;
    }
    fileopen = 1;
}

static LRESULT CALLBACK MainWinProc(HWND wn, UINT iMessage, WPARAM S, LPARAM L)
{
    switch (iMessage) {
    case WM_CREATE:
        UpdateHelpFont(wn);
        SetMenu(wn, LoadMenuA(Instance, progname));
        ShowWindow(wn, SW_SHOW);
        DragAcceptFiles(wn, TRUE);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI, or its DPI changed: take the
        // size Windows suggests and the font for the new DPI.
        UpdateHelpFont(wn);
        const auto* r = reinterpret_cast<const RECT*>(L);
        SetWindowPos(wn, NULL, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(wn, NULL, TRUE);
        return 0;
    }
    case WM_SETTINGCHANGE:
        if (S == SPI_SETNONCLIENTMETRICS) {  // the user chose another message font
            UpdateHelpFont(wn);
            InvalidateRect(wn, NULL, TRUE);
        }
        break;
    case WM_PAINT:
        PaintClient(wn);
        break;
    case WM_CLOSE:
        // Destroying the window now would end the process under a running
        // conversion, which still has both files open.
        if (fileopen) {
            MessageBeep(0xFFFFFFFF);
            SetTitle(wn, "Whoa there, I got a file open!!");
            return 0;
        }
        break;
    case WM_GETMINMAXINFO: {
        auto* mm = reinterpret_cast<MINMAXINFO*>(L);
        mm->ptMaxPosition.x = -4;
        mm->ptMaxPosition.y = -4;
        return 0;
    }
    case WM_COMMAND:
        return MenuCommand(wn, iMessage, S, L);
    case WM_ENTERIDLE:
        return 0;
    case WM_DROPFILES:
        StartConversions(wn, DroppedPaths(reinterpret_cast<HDROP>(S)));
        return 0;
    }
    bool over = false;
    if (BatchMessage(iMessage, S, over)) {
        if (over) {
            SetTitle(wn, progname);
            fileopen = 0;
        }
        return 0;
    }
    return DefWindowProcA(wn, iMessage, S, L);
}

int WINAPI WinMain(HINSTANCE hInst, HINSTANCE hPrev, LPSTR, int)
{
    Instance = hInst;
    if (hPrev == NULL)
        Register(progname, MainWinProc);
    HWND mwn = newwindow(progname, progname, WS_MAXIMIZE);
    if (mwn == NULL)
        return 0;
    // Files and folders named on the command line: "Open with", or a drop
    // on the program's icon.
    const std::vector<std::string> paths = CommandLinePaths();
    if (!paths.empty())
        StartConversions(mwn, paths);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
