// Writing a large body of text on several threads. A writer cuts the body
// into chunks, each into a slot of its own; the chunks are formatted in
// parallel and written in the order they were cut, by whichever thread
// finds the next one done, one at a time. The run's thread cuts, formats
// and writes too.
//
// A pool belongs to one run and is used by that run's thread only; runs on
// several threads at once each have their own. Without a pool, the same
// body is cut, formatted and written one chunk at a time on the caller's
// thread, so that a writer has one way of writing for both.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/format/rsr.h"

namespace quarlen {

struct WriterPool;

inline constexpr uint32_t default_chunk = 2048;
inline constexpr uint32_t max_chunk = uint32_t(1) << 16;  // larger asks get this
inline constexpr unsigned max_format_threads = 16;

// The chunk size a run gets when it asks for `requested` (0: the default).
inline uint32_t chunkSize(uint32_t requested) {
    return requested == 0 ? default_chunk : requested < max_chunk ? requested : max_chunk;
}

// The formatting threads a run gets when it asks for `requested` (0: one
// per core, at most two); 1 where the host has no threads.
unsigned formatThreads(unsigned requested);

// Starts threads - 1 threads besides the caller's; null when not even one
// can be had, and the caller writes on its own.
WriterPool* startPool(unsigned threads);
void endPool(WriterPool* pool);  // waits for the threads; null does nothing

// How many chunks can be in hand at once: the slots a body needs.
size_t poolSlots(const WriterPool* pool);

// A writer's pool, started with the first group large enough for chunks on
// several threads to pay; none where threads cannot be had.
class GroupPool {
public:
    GroupPool(unsigned threads, uint32_t chunk) : threads_(formatThreads(threads)), chunk_(chunkSize(chunk)) {}
    ~GroupPool() { endPool(pool_); }
    GroupPool(const GroupPool&) = delete;
    GroupPool& operator=(const GroupPool&) = delete;

    // The pool for g, or null: g is small, or no pool could be started.
    WriterPool* forGroup(const Group& g) {
        const uint64_t units = uint64_t(g.np) + uint64_t(g.nt) + uint64_t(g.nf) + uint64_t(g.nq);
        if (threads_ < 2 || failed_ || units < 2 * uint64_t(chunk_)) return nullptr;
        if (!pool_) pool_ = startPool(threads_);
        failed_ = !pool_;
        return pool_;
    }
    uint32_t chunk() const { return chunk_; }

private:
    const unsigned threads_;      // the threads a run gets, the caller's included
    const uint32_t chunk_;        // units a chunk holds, about
    WriterPool* pool_ = nullptr;  // started with the first large group
    bool failed_ = false;         // it could not be started: write on one thread
};

// A body as a writer gives it to the pool. Each call works on one slot;
// a slot is reused once its chunk has been written.
class ChunkedBody {
public:
    virtual ~ChunkedBody() = default;
    // Cuts the next chunk into the slot; false when the body has no more.
    // Called on the run's thread only, in order.
    virtual bool cut(size_t slot) = 0;
    // Formats the slot's chunk; on any thread.
    virtual void format(size_t slot) = 0;
    // Writes the slot's chunk, in the order cut; false stops the body, and
    // chunks after it are not written.
    virtual bool write(size_t slot) = 0;
};

// Cuts, formats and writes the whole body. False when a write stopped it.
// No chunk is in flight when it returns.
bool writeChunks(WriterPool* pool, ChunkedBody& body);

}  // namespace quarlen
