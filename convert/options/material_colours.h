// The colour each material of a run is shown in: the .mtl file's diffuse
// colour and the GLB's base colour are the same, so that a reader shows
// the model alike in both.
#pragma once

#include <cstddef>

namespace quarlen {

// The colour of the i-th material written, as 8-bit red, green and blue: a
// fixed palette first, then colours of their own, no two the same for
// i below 2^24.
void materialColour(size_t i, unsigned char rgb[3]);

}  // namespace quarlen
