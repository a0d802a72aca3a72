#include "convert/format.h"

#include <charconv>

// The exact library conversion rounds exact ties to even, as printf does.
char* format_detail::formatNearHalf(char* p, double v) {
    return std::to_chars(p, p + float_text_max, v, std::chars_format::general, 6).ptr;
}
