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

    // Appends n bytes, a multiple of 4. A failed write to the file is kept
    // and told by copyTo.
    void append(const unsigned char* data, size_t n);

    // Bytes appended so far, always a multiple of 4.
    uint64_t size() const { return size_; }

    // Appends all size() bytes to out. False, with errno set, when they
    // cannot be read back.
    bool copyTo(Output& out);

private:
    static constexpr size_t block = size_t(1) << 16;
    void flush();
    void toFile(const unsigned char* data, size_t n);  // keeps the first failure

    FILE* f_ = nullptr;
    std::vector<unsigned char> bytes_;  // all data in memory, or the file's write buffer
    uint64_t size_ = 0;
    int error_ = 0;  // errno of the first failed write
};

}  // namespace quarlen
