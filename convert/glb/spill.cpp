#include "convert/glb/spill.h"

#include <cassert>
#include <cerrno>

namespace quarlen {

GlbSpill::~GlbSpill() {
    if (f_) std::fclose(f_);
}

void GlbSpill::append(GlbBlock& block) {
    assert(block.size() % 4 == 0);
    size_ += block.size();
    held_.push_back(std::move(block));
    block.clear();
    if (!spare_.empty()) {
        block.swap(spare_.back());
        spare_.pop_back();
    }
}

void GlbSpill::spillHeld() {
    if (!triedFile_ && !inMemory_) f_ = std::tmpfile();
    triedFile_ = true;
    if (!f_) return;
    for (GlbBlock& b : held_) {
        if (!error_ && std::fwrite(b.data(), 1, b.size(), f_) != b.size()) error_ = errno ? errno : EIO;
        inFile_ += b.size();
        b.clear();
        spare_.push_back(std::move(b));
    }
    held_.clear();
}

bool GlbSpill::copyTo(Output& out) {
    assert(size_ % 4 == 0);
    if (f_ && inFile_) {
        if (error_ || std::fflush(f_) != 0) {
            errno = error_ ? error_ : EIO;
            return false;
        }
        std::rewind(f_);
        std::vector<char> buffer(output_block);
        uint64_t copied = 0;
        while (copied < inFile_) {
            const uint64_t left = inFile_ - copied;
            const size_t n = left < buffer.size() ? size_t(left) : buffer.size();
            if (std::fread(buffer.data(), 1, n, f_) != n) {
                errno = EIO;
                return false;
            }
            putBytes(out, buffer.data(), n);
            copied += n;
        }
    }
    [[maybe_unused]] uint64_t copied = inFile_;  // read only by the assert
    for (const GlbBlock& b : held_) {
        putBytes(out, reinterpret_cast<const char*>(b.data()), b.size());
        copied += b.size();
    }
    assert(copied == size_ && "every byte appended is written once");
    return true;
}

}  // namespace quarlen
