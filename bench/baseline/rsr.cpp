// Benchmark baseline: the converter's core as it was before the parallel writer,
// copied unchanged into namespace baseline so both can be timed in one run.
#include "bench/baseline/rsr.h"

#include <cstdlib>
#include <sys/stat.h>

namespace baseline {

namespace {

constexpr size_t input_block = size_t(1) << 16;

int64_t fileSize(FILE* f) {
#ifdef _WIN32
    struct _stat64 st;
    if (_fstat64(_fileno(f), &st) != 0 || !(st.st_mode & _S_IFREG)) return -1;
#else
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
#endif
    return static_cast<int64_t>(st.st_size);
}

}  // namespace

bool openInput(Input& in, const char* path) {
    in = Input{};
    in.f = std::fopen(path, "rb");
    if (!in.f) return false;
    in.buf = static_cast<unsigned char*>(std::malloc(input_block));
    if (!in.buf) {
        std::fclose(in.f);
        in.f = nullptr;
        return false;
    }
    in.size = fileSize(in.f);
    return true;
}

void closeInput(Input& in) {
    if (in.f) std::fclose(in.f);
    std::free(in.buf);
    in = Input{};
}

void readBytes(Input& in, void* dst, size_t n) {
    auto* out = static_cast<unsigned char*>(dst);
    while (n > 0) {
        if (in.pos == in.len) {
            in.base += static_cast<int64_t>(in.len);
            in.pos = 0;
            in.len = in.eof ? 0 : std::fread(in.buf, 1, input_block, in.f);
            if (in.len == 0) {
                in.eof = true;
                std::memset(out, 0, n);
                return;
            }
        }
        size_t take = in.len - in.pos < n ? in.len - in.pos : n;
        std::memcpy(out, in.buf + in.pos, take);
        in.pos += take;
        out += take;
        n -= take;
    }
}

}  // namespace baseline
