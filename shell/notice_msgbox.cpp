// Notices are message boxes with no owner window: the main window stays
// enabled and keeps getting its messages while one is shown.
#include <windows.h>

#include "convert/run/notice.h"

void notice(const char* text, const char* caption, unsigned style)
{
    MessageBoxA(NULL, text, caption, style);
}
