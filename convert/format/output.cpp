#include "convert/format/output.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quarlen {

namespace {

bool takeBuffer(Output& out) {
    out.buf = static_cast<char*>(std::malloc(out.block));
    if (out.buf) return true;
    if (out.sink.close) out.sink.close(out.sink.ctx);
    errno = ENOMEM;
    return false;
}

void send(Output& out, const char* p, size_t n) {
    if (out.stop && out.stop->load(std::memory_order_acquire)) return;
    errno = 0;
    if (!out.sink.write(out.sink.ctx, p, n) && !out.error) out.error = errno ? errno : EIO;
}

bool writeToStream(void* stream, const char* p, size_t n) {
    return std::fwrite(p, 1, n, static_cast<FILE*>(stream)) == n;
}

}  // namespace

ByteSink fileSink(FileTarget& target) {
    ByteSink s;
    s.ctx = &target;
    s.open = [](void* ctx) {
        auto& t = *static_cast<FileTarget*>(ctx);
        t.f = std::fopen(t.path, "wb");  // line ends are written as they are
        if (!t.f) return false;
        std::setvbuf(t.f, nullptr, _IONBF, 0);  // blocks are large already
        return true;
    };
    s.write = [](void* ctx, const char* p, size_t n) {
        return writeToStream(static_cast<FileTarget*>(ctx)->f, p, n);
    };
    s.close = [](void* ctx) {
        auto& t = *static_cast<FileTarget*>(ctx);
        const int closed = std::fclose(t.f);
        t.f = nullptr;
        return closed == 0;
    };
    return s;
}

ByteSink streamSink(FILE* stream) {
    ByteSink s;
    s.ctx = stream;
    s.write = writeToStream;
    s.close = [](void* ctx) { return std::fflush(static_cast<FILE*>(ctx)) == 0; };
    return s;
}

bool openOutput(Output& out, ByteSink sink) {
    assert(sink.write);
    out = Output{};
    out.sink = sink;
    if (sink.open && !sink.open(sink.ctx)) return false;
    return takeBuffer(out);
}

void drain(Output& out) {
    if (out.len) send(out, out.buf, out.len);
    out.len = 0;
}

void closeOutput(Output& out) {
    if (out.buf) {
        drain(out);
        errno = 0;
        if (out.sink.close && !out.sink.close(out.sink.ctx) && !out.error) out.error = errno ? errno : EIO;
    }
    std::free(out.buf);
    const int error = out.error;
    out = Output{};
    out.error = error;
}

// Pieces smaller than this join the buffer; larger ones go out without
// being copied, after what is buffered. Many small writes cost a file
// system far more than copying them into large ones.
constexpr size_t direct_write_min = output_block / 2;

void putBytes(Output& out, const char* p, size_t n) {
    if (n == 0) return;  // p may then be null
    if (n < std::min(direct_write_min, out.block)) {  // a small piece that fits the buffer
        std::memcpy(room(out, n), p, n);
        out.len += n;
        return;
    }
    drain(out);
    send(out, p, n);
}

bool writeWholeFile(const char* path, const std::string& text) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool failed = std::fwrite(text.data(), 1, text.size(), f) != text.size();
    const int closed = std::fclose(f);
    if (failed || closed != 0) {
        if (!errno) errno = EIO;
        return false;
    }
    return true;
}

}  // namespace quarlen
