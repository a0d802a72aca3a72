// The binary chunk's data as the groups are read, kept until the JSON part
// that must come before it is known. The newest group's data stays in
// memory, in the blocks the writer laid it out in; an older group's goes
// to a temporary file when the next group begins, or stays in memory where
// no temporary file can be made (or when asked to). Memory then stays
// bounded by the largest group rather than the whole file, and a file of
// one group never goes through the temporary file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "convert/format/output.h"

namespace quarlen {

class GlbSpill {
public:
    explicit GlbSpill(bool inMemory) : inMemory_(inMemory) {}
    ~GlbSpill();
    GlbSpill(const GlbSpill&) = delete;
    GlbSpill& operator=(const GlbSpill&) = delete;

    // Appends the bytes of block, a multiple of 4, taking its memory; block
    // becomes an empty buffer whose memory was given back earlier, if any.
    void append(std::vector<unsigned char>& block);

    // Moves the data held in memory to the temporary file, made at the
    // first call; called as each group begins. A failed write is kept and
    // told by copyTo.
    void spillHeld();

    // Bytes appended so far, always a multiple of 4.
    uint64_t size() const { return size_; }

    // Appends all size() bytes to out. False, with errno set, when they
    // cannot be read back.
    bool copyTo(Output& out);

private:
    const bool inMemory_;
    FILE* f_ = nullptr;
    bool triedFile_ = false;
    std::vector<std::vector<unsigned char>> held_;   // in memory, after the file's bytes
    std::vector<std::vector<unsigned char>> spare_;  // emptied, for append to give back
    uint64_t size_ = 0, inFile_ = 0;
    int error_ = 0;  // errno of the first failed write
};

}  // namespace quarlen
