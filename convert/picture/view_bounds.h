// The framing pass: before a picture is drawn, the extent of the model's
// finite points along the view's axes, from a second read of the run's
// input that takes the points and skips everything else.
#pragma once

#include <optional>
#include <span>

#include "convert/picture/view.h"

namespace quarlen {

// Adds to b the finite points of every group the input holds, up to its
// end marker or to the first failure, where the run stops too: the file at
// path, or bytes when they are given (as a run's request gives them).
// False when the input cannot be read again (no regular file, or it
// cannot be opened).
bool readViewBounds(const char* path, const std::optional<std::span<const unsigned char>>& bytes, const ViewAxes& v,
                    ViewBounds& b);

}  // namespace quarlen
