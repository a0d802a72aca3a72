// Mapped input that another program cuts short. Reading a page of a mapped
// file beyond its new end raises SIGBUS, which would end the process and
// every conversion in it. A run registers each mapping of its input here;
// the process's one SIGBUS handler, installed with the first mapping, puts
// zero pages in place of the lost ones of a registered mapping, sets the
// run's flag and lets the read go on. The run then fails, and its output
// lets no byte through that was made after the flag was set. A fault
// anywhere else takes the action it had before (by default, the end of the
// process).
#pragma once

#include <atomic>
#include <cstddef>

namespace quarlen {

// Registers the mapping at..at+len; a fault inside it sets *cut. Returns a
// slot for releaseMapping, or -1 when none is free or no handler could be
// installed (the caller then reads instead of mapping).
int guardMapping(const void* at, size_t len, std::atomic<bool>* cut);

// Forgets the mapping of slot before it is unmapped.
void releaseMapping(int slot);

}  // namespace quarlen
