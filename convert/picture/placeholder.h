// The picture of a model with nothing to draw (no facet drawn, or a read
// that failed before any): a grey frame a sixteenth of the picture wide,
// crossed by its two diagonals, on a transparent background, in the grey
// the page draws a model without materials in.
#pragma once

#include "convert/picture/image.h"

namespace quarlen {

// The placeholder of n x n pixels (n > 0). May throw std::bad_alloc.
Image placeholderImage(int n);

}  // namespace quarlen
