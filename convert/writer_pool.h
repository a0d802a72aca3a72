// Writing a large group body on several threads. The body is cut into
// chunks of about `chunk` units (a point or texture-vertex line, a facet, a
// corner; a facet line longer than a chunk goes in pieces). Chunks are
// formatted in parallel into buffers of their own and written in order by
// the run's thread, which formats chunks too. The bytes, the point of a
// failure and the totals are those of writeGroupBody.
//
// A pool belongs to one run and is used by that run's thread only; runs on
// several threads at once each have their own.
#pragma once

#include <cstdint>

#include "convert/obj_lines.h"

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

// True when g has enough units for splitting into chunks to pay.
bool worthSplitting(const Group& g, uint32_t chunk);

// Starts threads - 1 threads besides the caller's; null when not even one
// can be had or its memory cannot, and the caller writes on its own.
WriterPool* startPool(unsigned threads, uint32_t chunk);
void endPool(WriterPool* pool);  // waits for the threads; null does nothing

// writeGroupBody, with the work shared among the pool's threads. No chunk
// is in flight when it returns.
bool writeGroupBodySplit(WriterPool& pool, Output& out, const Group& g, Totals& t);
