// The help text's font: the system's message font, at the DPI of the
// monitor the window is on.
#include "shell/main_window.h"


HFONT helpfont;

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

// Looked up when the program runs, so that it still starts on systems
// older than Windows 10 (1607), which lack them.
template <class Fn>
static Fn fromUser32(const char* name)
{
    FARPROC p = GetProcAddress(GetModuleHandleA("user32.dll"), name);
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

void UpdateHelpFont(HWND wn)
{
    static const auto dpiForWindow = fromUser32<GetDpiForWindowFn>("GetDpiForWindow");
    static const auto metricsForDpi =
        fromUser32<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");

    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    BOOL got;
    if (dpiForWindow && metricsForDpi)
        got = metricsForDpi(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0, dpiForWindow(wn));
    else  // the metrics at the system's DPI
        got = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);

    HFONT font = got ? CreateFontIndirectW(&m.lfMessageFont) : NULL;
    if (helpfont)
        DeleteObject(helpfont);
    helpfont = font;  // none: the device context's own font
}
