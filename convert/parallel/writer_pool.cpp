#include "convert/parallel/writer_pool.h"

#include "convert/format/threads.h"

#include <cassert>

#ifndef QUARLEN_NO_THREADS
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <thread>
#include <vector>
#endif

namespace quarlen {

unsigned formatThreads(unsigned requested) {
#ifdef QUARLEN_NO_THREADS
    (void)requested;
    return 1;
#else
    if (requested == 0) {
        const unsigned cores = std::thread::hardware_concurrency();
        requested = cores < 2 ? 1 : 2;
    }
    return requested < max_format_threads ? requested : max_format_threads;
#endif
}

#ifdef QUARLEN_NO_THREADS

struct WriterPool {};
WriterPool* startPool(unsigned) { return nullptr; }
void endPool(WriterPool*) {}
size_t poolSlots(const WriterPool*) { return 1; }

#else

namespace {

enum class SlotState { free, busy, done };

}  // namespace

struct WriterPool {
    std::vector<std::thread> threads;
    std::vector<SlotState> slots;  // chunk n goes to slot n % slots.size()
    std::mutex m;
    // Each side is woken only when it waits: the formatting threads for
    // ready chunks, the run's thread for chunks done.
    std::condition_variable toThreads, toRun;
    unsigned idle = 0;
    bool runWaits = false;
    bool quit = false;

    // The body being written; set by the run's thread for one call. The
    // run's thread alone cuts the body, outside the lock, into slots that
    // are free; a chunk is then ready, taken, done and written, in order.
    ChunkedBody* body = nullptr;
    bool writing = false;
    bool stop = false;  // a write said stop: take and write no more
    size_t ready = 0, taken = 0, written = 0;
    unsigned busy = 0;  // chunks being formatted
};

namespace {

bool canTake(const WriterPool& p) { return !p.stop && p.taken < p.ready; }

bool canWrite(const WriterPool& p) {
    return !p.writing && !p.stop && p.written < p.taken && p.slots[p.written % p.slots.size()] == SlotState::done;
}

// Writes the chunks that are done, in order, with the lock released while
// each is written; the slots stay taken until then.
void writeDone(WriterPool& p, std::unique_lock<std::mutex>& lock) {
    p.writing = true;
    while (!p.stop && p.written < p.taken) {
        const size_t slot = p.written % p.slots.size();
        if (p.slots[slot] != SlotState::done) break;
        lock.unlock();
        const bool go = p.body->write(slot);
        lock.lock();
        p.stop = !go;
        p.slots[slot] = SlotState::free;
        ++p.written;
    }
    p.writing = false;
}

void wakeRun(WriterPool& p) {
    if (p.runWaits) p.toRun.notify_one();
}

// Takes the next ready chunk and formats it with the lock released, then
// writes what is done.
void formatNext(WriterPool& p, std::unique_lock<std::mutex>& lock) {
    const size_t slot = p.taken % p.slots.size();
    p.slots[slot] = SlotState::busy;
    ++p.taken;
    ++p.busy;
    lock.unlock();
    p.body->format(slot);
    lock.lock();
    p.slots[slot] = SlotState::done;
    --p.busy;
    if (canWrite(p)) writeDone(p, lock);
    wakeRun(p);
}

void work(WriterPool& p) {
    std::unique_lock<std::mutex> lock(p.m);
    for (;;) {
        ++p.idle;
        p.toThreads.wait(lock, [&] { return p.quit || canTake(p); });
        --p.idle;
        if (p.quit) return;
        formatNext(p, lock);
    }
}

}  // namespace

WriterPool* startPool(unsigned threads) {
    if (threads < 2) return nullptr;
    auto* p = new (std::nothrow) WriterPool;
    if (!p) return nullptr;
    try {
        p->slots.assign(size_t(threads) + 2, SlotState::free);
        for (unsigned i = 1; i < threads; ++i) p->threads.emplace_back(work, std::ref(*p));
    } catch (...) {
        // Fewer threads than asked for still help; none do not.
    }
    if (p->slots.empty() || p->threads.empty()) {
        endPool(p);
        return nullptr;
    }
    return p;
}

void endPool(WriterPool* p) {
    if (!p) return;
    {
        std::lock_guard<std::mutex> lock(p->m);
        p->quit = true;
    }
    p->toThreads.notify_all();
    for (std::thread& th : p->threads) th.join();
    delete p;
}

size_t poolSlots(const WriterPool* p) { return p ? p->slots.size() : 1; }

static bool writeInPool(WriterPool& p, ChunkedBody& body) {
    const size_t n = p.slots.size();
    bool more = true;  // the body has chunks not yet cut
    size_t cut = 0;    // chunks cut so far
    std::unique_lock<std::mutex> lock(p.m);
    p.body = &body;
    p.stop = false;
    p.ready = p.taken = p.written = 0;
    for (;;) {
        if (canWrite(p)) {
            writeDone(p, lock);
        } else if (!p.stop && more && cut < p.written + n) {
            // Free slots are no other thread's business: cut chunks into
            // them unlocked, then make them ready at once.
            const size_t upTo = p.written + n;
            lock.unlock();
            while (more && cut < upTo) {
                more = body.cut(cut % n);
                if (more) ++cut;
            }
            lock.lock();
            p.ready = cut;
            if (p.idle) p.toThreads.notify_all();
        } else if (canTake(p)) {
            formatNext(p, lock);
        } else if ((p.written == p.ready && !more) || (p.stop && !p.writing)) {
            break;
        } else {
            p.runWaits = true;
            p.toRun.wait(lock);
            p.runWaits = false;
        }
    }
    // After a stop, chunks past it may still be in hand; their text goes.
    const bool ok = !p.stop;
    p.stop = true;
    p.runWaits = true;
    p.toRun.wait(lock, [&] { return p.busy == 0; });
    p.runWaits = false;
    for (SlotState& s : p.slots) s = SlotState::free;
    p.body = nullptr;
    return ok;
}

#endif

bool writeChunks([[maybe_unused]] WriterPool* pool, ChunkedBody& body) {
#ifndef QUARLEN_NO_THREADS
    if (pool) return writeInPool(*pool, body);
#endif
    assert(!pool);
    // One chunk at a time on the caller's thread, through slot 0.
    while (body.cut(0)) {
        body.format(0);
        if (!body.write(0)) return false;
    }
    return true;
}

}  // namespace quarlen
