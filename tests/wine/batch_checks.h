// quarlen.exe given files and folders on its command line, as "Open with"
// and a drop on its icon give them.
#pragma once

#include "session.h"

// DATA\batch holds a.rsr, sub\b.rsr, sub\bad.rsr (cut short), skip.rsr and
// skip.obj (which must stay as it is); DATA\batch-expected holds the Linux
// program's outputs for the same files.
void checkCommandLineBatch(const Setup& s);
