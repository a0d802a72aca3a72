// Benchmark baseline: the converter's core as it was before the parallel writer,
// copied unchanged into namespace baseline so both can be timed in one run.
// Number formatting for the OBJ writer.
#pragma once

#include <cstdint>

namespace baseline {

// Room to leave for formatFloat (whose longest text, "-1.17549e-38", has 12
// characters) and for formatInt.
inline constexpr int float_text_max = 24;
inline constexpr int int_text_max = 11;

// Writes f, widened to double, exactly as C's "%g" prints it; an infinity as
// "+INF" or "-INF" and a NaN as "+NAN" or "-NAN" by its sign bit. The same
// bytes on every host. Returns the end of the text.
char* formatFloat(char* p, float f);

// Writes value in signed decimal, as "%d" does. Returns the end of the text.
char* formatInt(char* p, int32_t value);

}  // namespace baseline
