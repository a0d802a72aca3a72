// The one place stb_image_write is compiled: its functions stay within
// this file, and its warnings are not this program's.
#include "convert/picture/png_file.h"

#include <cassert>
#include <new>
#include <utility>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace quarlen {

namespace {

// Rows as they are, unfiltered: pictures of a few shades with smooth
// edges come out smaller and in half the time than with stb's choice of
// filter for each row (the benchmark's pictures). And stb's least search
// for matches (5, against 8): most of a picture is long runs of its
// transparent background, where stb tries each candidate match to its
// full length; the files come out about 1% larger. Set once, when the
// program starts, before any run.
[[maybe_unused]] const bool writerSet = (stbi_write_force_png_filter = 0, stbi_write_png_compression_level = 5, true);

// The file as stb hands it over; no exception may cross stb's code.
struct Written {
    std::string bytes;
    bool failed = false;
};

void append(void* context, void* data, int size) {
    auto* w = static_cast<Written*>(context);
    try {
        w->bytes.append(static_cast<const char*>(data), size_t(size));
    } catch (const std::bad_alloc&) {
        w->failed = true;
    }
}

}  // namespace

std::string pngFile(const Image& im) {
    assert(im.width > 0 && im.height > 0 && im.rgba.size() == size_t(im.width) * size_t(im.height) * 4);
    Written png;
    if (!stbi_write_png_to_func(append, &png, im.width, im.height, 4, im.rgba.data(), im.width * 4) || png.failed)
        return {};
    return std::move(png.bytes);
}

}  // namespace quarlen
