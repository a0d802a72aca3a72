#include "convert/picture/placeholder.h"

#include <cassert>
#include <cstdlib>

namespace quarlen {

Image placeholderImage(int n) {
    assert(n > 0);
    Image im;
    im.width = im.height = n;
    im.placeholder = true;
    im.rgba.assign(size_t(n) * size_t(n) * 4, 0);
    const int width = n / 16 > 0 ? n / 16 : 1;  // of the frame and the diagonals
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const bool frame = x < width || y < width || x >= n - width || y >= n - width;
            const bool diagonal = std::abs(x - y) < width / 2 + 1 || std::abs(x + y - (n - 1)) < width / 2 + 1;
            if (!frame && !diagonal) continue;
            unsigned char* p = &im.rgba[(size_t(y) * size_t(n) + size_t(x)) * 4];
            p[0] = p[1] = 0xB8;
            p[2] = 0xB0;
            p[3] = 0xFF;
        }
    return im;
}

}  // namespace quarlen
