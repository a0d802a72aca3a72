// The conversion written the plain way, with stdio: fread of each field,
// fprintf of each number, and optionally fflush at every point where the
// file on disk is promised to be up to date. The benchmark measures the
// program's own conversion against it. Notices are not shown; only the
// finished or failed result is returned.
#pragma once

bool stdioConvert(const char* file, const char* File, bool flushEachStep);
