#include "convert/obj/number_text.h"

namespace quarlen {

// The exact library conversion rounds exact ties to even, as printf does.
char* format_detail::formatNearHalf(char* p, double v) {
    return sixDigitText(p, p + float_text_max, v);
}

}  // namespace quarlen
