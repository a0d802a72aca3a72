#include "convert/glb/spill.h"

#include <cassert>
#include <cerrno>

namespace quarlen {

GlbSpill::GlbSpill(bool inMemory) {
    if (!inMemory) f_ = std::tmpfile();
    if (f_) bytes_.reserve(block);
}

GlbSpill::~GlbSpill() {
    if (f_) std::fclose(f_);
}

void GlbSpill::toFile(const unsigned char* data, size_t n) {
    if (!error_ && std::fwrite(data, 1, n, f_) != n) error_ = errno ? errno : EIO;
}

void GlbSpill::flush() {
    if (!f_ || bytes_.empty()) return;
    toFile(bytes_.data(), bytes_.size());
    bytes_.clear();
}

void GlbSpill::append(const unsigned char* data, size_t n) {
    assert(n % 4 == 0);
    size_ += n;
    if (f_ && bytes_.size() + n > block) {
        flush();
        if (n >= block) return toFile(data, n);
    }
    bytes_.insert(bytes_.end(), data, data + n);
}

bool GlbSpill::copyTo(Output& out) {
    assert(size_ % 4 == 0);
    if (!f_) {
        assert(bytes_.size() == size_);
        putBytes(out, reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
        return true;
    }
    flush();
    if (error_ || std::fflush(f_) != 0) {
        errno = error_ ? error_ : EIO;
        return false;
    }
    std::rewind(f_);
    std::vector<char> buffer(output_block);
    uint64_t copied = 0;
    while (copied < size_) {
        const uint64_t left = size_ - copied;
        const size_t n = left < buffer.size() ? size_t(left) : buffer.size();
        if (std::fread(buffer.data(), 1, n, f_) != n) {
            errno = EIO;
            return false;
        }
        putBytes(out, buffer.data(), n);
        copied += n;
    }
    return true;
}

}  // namespace quarlen
