// The binary chunk's data as the groups are read, kept until the JSON part
// that must come before it is known: in a temporary file, or in memory
// where no temporary file can be made (or when asked to). Memory then stays
// bounded by the largest group rather than the whole file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "convert/format/output.h"

namespace quarlen {

class GlbSpill {
public:
    explicit GlbSpill(bool inMemory);
    ~GlbSpill();
    GlbSpill(const GlbSpill&) = delete;
    GlbSpill& operator=(const GlbSpill&) = delete;

    // Appends the 4 bytes of x, lowest first: glTF's data is little-endian.
    // A failed write to the file is kept and told by copyTo.
    void put32(uint32_t x) {
        if (f_ && bytes_.size() + 4 > block) flush();
        const unsigned char b[4] = {static_cast<unsigned char>(x), static_cast<unsigned char>(x >> 8),
                                    static_cast<unsigned char>(x >> 16), static_cast<unsigned char>(x >> 24)};
        bytes_.insert(bytes_.end(), b, b + 4);
        size_ += 4;
    }

    // Bytes appended so far, always a multiple of 4.
    uint64_t size() const { return size_; }

    // Appends all size() bytes to out. False, with errno set, when they
    // cannot be read back.
    bool copyTo(Output& out);

private:
    static constexpr size_t block = size_t(1) << 16;
    void flush();

    FILE* f_ = nullptr;
    std::vector<unsigned char> bytes_;  // all data in memory, or the file's write buffer
    uint64_t size_ = 0;
    int error_ = 0;  // errno of the first failed write
};

}  // namespace quarlen
