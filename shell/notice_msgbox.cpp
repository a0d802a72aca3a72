// Notices are message boxes with no owner window: the main window stays
// enabled and keeps getting its messages while one is shown.
#include "shell/notice_msgbox.h"

#include <windows.h>

void showNotice(const char* text, const char* caption, unsigned style)
{
    MessageBoxA(NULL, text, caption, style);
}
