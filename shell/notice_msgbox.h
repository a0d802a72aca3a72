// The window program's notices: message boxes with no owner window.
#pragma once

#include "convert/format/notice.h"

void showNotice(const char* text, const char* caption, unsigned style);
