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
#include <memory>
#include <vector>

#include "convert/format/output.h"

namespace quarlen {

// An allocator that leaves the bytes a vector grows by unset: a block's
// bytes are all written before anything reads them, and setting them first
// would cost a pass over memory as large as the data.
template <class T>
struct UnsetAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
};

// Binary data in memory, as a primitive is laid out in it.
using GlbBlock = std::vector<unsigned char, UnsetAllocator<unsigned char>>;

class GlbSpill {
public:
    explicit GlbSpill(bool inMemory) : inMemory_(inMemory) {}
    ~GlbSpill();
    GlbSpill(const GlbSpill&) = delete;
    GlbSpill& operator=(const GlbSpill&) = delete;

    // Appends the bytes of block, a multiple of 4, taking its memory; block
    // becomes an empty buffer whose memory was given back earlier, if any.
    void append(GlbBlock& block);

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
    const bool inMemory_;      // asked to keep the data in memory
    FILE* f_ = nullptr;        // the temporary file, once made
    bool triedFile_ = false;   // a temporary file was asked for (made or not)
    std::vector<GlbBlock> held_;   // in memory, after the file's bytes
    std::vector<GlbBlock> spare_;  // emptied, for append to give back
    uint64_t size_ = 0;    // bytes appended
    uint64_t inFile_ = 0;  // of which in the file
    int error_ = 0;  // errno of the first failed write
};

}  // namespace quarlen
