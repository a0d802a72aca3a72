#include "convert/format/mapping_guard.h"

#include "convert/format/input.h"

#ifdef QUARLEN_MAP_ARRAYS
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quarlen {

#ifdef QUARLEN_MAP_ARRAYS

namespace {

// The mappings of all runs in the process. A slot is free (begin 0),
// claimed (1), or holds a mapping; the handler reads them without a lock.
struct Guarded {
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<std::atomic<bool>*> cut{nullptr};
};
constexpr int slots = 64;
Guarded guarded[slots];

struct sigaction before;  // the action SIGBUS had before the handler
uintptr_t pageMask = 0;
bool installed = false;

void onBusError(int, siginfo_t* info, void*) {
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Guarded& g : guarded) {
        const uintptr_t begin = g.begin.load(std::memory_order_acquire);
        const uintptr_t end = g.end.load(std::memory_order_relaxed);
        if (begin <= 1 || at < begin || at >= end) continue;
        // Zero pages from the faulting one to the mapping's end: the read
        // goes on, and the run's flag tells that what it read is not the
        // file's.
        const uintptr_t page = at & pageMask;
        void* zeros = mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) break;
        g.cut.load(std::memory_order_relaxed)->store(true, std::memory_order_release);
        return;
    }
    // Not a run's mapping: the fault repeats under the action from before.
    sigaction(SIGBUS, &before, nullptr);
}

bool install() {
    static std::once_flag once;
    std::call_once(once, [] {
        const long page = sysconf(_SC_PAGESIZE);
        if (page <= 0) return;
        pageMask = ~(uintptr_t(page) - 1);
        struct sigaction sa {};
        sa.sa_sigaction = onBusError;
        sa.sa_flags = SA_SIGINFO;
        sigemptyset(&sa.sa_mask);
        installed = sigaction(SIGBUS, &sa, &before) == 0;
    });
    return installed;
}

}  // namespace

int guardMapping(const void* at, size_t len, std::atomic<bool>* cut) {
    if (!install()) return -1;
    for (int i = 0; i < slots; ++i) {
        uintptr_t free = 0;
        if (!guarded[i].begin.compare_exchange_strong(free, 1)) continue;
        const auto begin = reinterpret_cast<uintptr_t>(at);
        guarded[i].end.store(begin + len, std::memory_order_relaxed);
        guarded[i].cut.store(cut, std::memory_order_relaxed);
        guarded[i].begin.store(begin, std::memory_order_release);
        return i;
    }
    return -1;
}

void releaseMapping(int slot) { guarded[slot].begin.store(0, std::memory_order_release); }

#else

int guardMapping(const void*, size_t, std::atomic<bool>*) { return -1; }
void releaseMapping(int) {}

#endif

}  // namespace quarlen
