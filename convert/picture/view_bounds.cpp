#include "convert/picture/view_bounds.h"

#include <atomic>
#include <cassert>
#include <cmath>
#include <sys/stat.h>

#include "convert/format/input.h"
#include "convert/format/rsr.h"

namespace quarlen {

namespace {

// Only a regular file can be opened again and read from its start: a pipe
// would block or hand over the run's bytes.
bool regularFile(const char* path) {
#ifdef _WIN32
    struct _stat64 st;
    return path && _stat64(path, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
    struct stat st;
    return path && stat(path, &st) == 0 && S_ISREG(st.st_mode);
#endif
}

void addGroupPoints(const Group& g, const ViewAxes& v, ViewBounds& b) {
    for (int32_t i = 0; i < g.np; ++i) {
        const float p[3] = {pointAt(g, i, 0), pointAt(g, i, 1), pointAt(g, i, 2)};
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) addPoint(b, v, p);
    }
}

}  // namespace

bool readViewBounds(const char* path, const std::optional<std::span<const unsigned char>>& bytes, const ViewAxes& v,
                    ViewBounds& b) {
    assert(path || bytes);
    Input in;
    // A file cut short under a mapped array reads as zeros here; the run
    // finds it so too and tells it.
    std::atomic<bool> cut{false};
    if (bytes)
        openInputBytes(in, bytes->data(), bytes->size());
    else if (!regularFile(path) || !openInput(in, path, &cut))
        return false;
    readHeader(in);
    for (;;) {
        startGroup(in);
        int32_t length;
        char name[max_name_length + 1];
        if (readGroupStart(in, length, name) != GroupStart::group) break;
        Group g;
        if (readGroupBody(in, g, true).kind != ReadFailure::none) break;
        addGroupPoints(g, v, b);
    }
    closeInput(in);
    return true;
}

}  // namespace quarlen
