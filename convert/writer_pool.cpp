#include "convert/writer_pool.h"

#include <cstdlib>

#include "convert/obj_lines.h"
#include "convert/obj_writer.h"
#include "convert/threads.h"

#ifndef QUARLEN_NO_THREADS
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <thread>
#include <vector>
#endif

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

bool worthSplitting(const Group& g, uint32_t chunk) {
    const uint64_t units = uint64_t(g.np) + uint64_t(g.nt) + uint64_t(g.nf) + uint64_t(g.nq);
    return units >= 2 * uint64_t(chunk);
}

#ifdef QUARLEN_NO_THREADS

struct WriterPool {};
WriterPool* startPool(unsigned, uint32_t) { return nullptr; }
void endPool(WriterPool*) {}
bool writeGroupBodySplit(WriterPool&, Output& out, const Group& g, Totals& t) { return writeGroupBody(out, g, t); }

#else

namespace {

enum Part { points, texture_vertices, facets, body_done };

// A run of lines or facets of one part of the body. For facets, `from` and
// `to` bound the corners of the first and last facet, so that a chunk can
// hold one piece of a long line.
struct Chunk {
    Part part = points;
    int32_t begin = 0, end = 0;
    uint32_t from = 0, to = UINT32_MAX;
    int32_t cm = -1;  // the material in force before the chunk
};

// Where the cutting of a body has got to. It follows the material in force
// from facet to facet, so that each chunk starts with the right one.
struct Splitter {
    Part part = points;
    int32_t next = 0;     // the first line or facet not yet in a chunk
    uint32_t corner = 0;  // corners of facet `next` already in pieces
    int32_t cm = -1;
};

void settle(Splitter& s, const Group& g) {
    if (s.part == points && s.next >= g.np) {
        s.part = texture_vertices;
        s.next = 0;
    }
    if (s.part == texture_vertices && s.next >= g.nt) {
        s.part = facets;
        s.next = 0;
    }
    if (s.part == facets && s.next >= g.nf) s.part = body_done;
}

// Corners written for facet j: its walk up to and including the first
// corner outside the vertex index list, where the walk fails.
uint32_t cornersWritten(const Group& g, int32_t j) {
    const Face f = faceAt(g, j);
    const int32_t c1 = f.c1;
    const uint32_t walk = walkLength(c1, f.nc);
    if (walk == 0) return 0;
    if (c1 < 0 || c1 >= g.nq) return 1;
    const int64_t inList = int64_t(g.nq) - c1;
    return walk <= inList ? walk : static_cast<uint32_t>(inList + 1);
}

void stepMaterial(Splitter& s, const Group& g, int32_t j) { s.cm = materialAfter(g, s.cm, faceAt(g, j).mat); }

// The next chunk of at most `budget` units, or budget + 1 for the first
// piece of a long line (its "f" counts one). The body must not be done.
Chunk nextChunk(Splitter& s, const Group& g, uint32_t budget) {
    Chunk c;
    c.part = s.part;
    c.begin = s.next;
    if (s.part != facets) {
        const int64_t n = s.part == points ? g.np : g.nt;
        c.end = static_cast<int32_t>(n - s.next > budget ? s.next + int64_t(budget) : n);
        s.next = c.end;
        settle(s, g);
        return c;
    }
    c.cm = s.cm;
    const uint32_t corners = cornersWritten(g, s.next);
    if (s.corner > 0 || 1 + uint64_t(corners) > budget) {
        c.end = s.next + 1;
        c.from = s.corner;
        if (s.corner == 0) stepMaterial(s, g, s.next);
        if (corners - s.corner > budget) {
            c.to = s.corner + budget;
            s.corner = c.to;
        } else {
            s.corner = 0;
            ++s.next;
        }
        settle(s, g);
        return c;
    }
    uint64_t units = 0;
    int32_t j = s.next;
    for (; j < g.nf; ++j) {
        const uint64_t w = 1 + uint64_t(j == s.next ? corners : cornersWritten(g, j));
        if (units + w > budget) break;
        units += w;
        stepMaterial(s, g, j);
    }
    c.end = j;
    s.next = j;
    settle(s, g);
    return c;
}

enum class SlotState { free, busy, done };

// One chunk's text, made by whichever thread took the chunk.
struct Slot {
    Chunk c;
    char* buf = nullptr;
    size_t len = 0;
    bool ok = true;
    int32_t nq = INT32_MIN;  // most corners of any facet in the chunk
    SlotState state = SlotState::free;
};

void formatChunk(Slot& s, const Group& g, const Totals& t) {
    BufferSink sink{s.buf};
    const Chunk& c = s.c;
    s.ok = true;
    s.nq = INT32_MIN;
    if (c.part == points) {
        putFloatLines(sink, g.xyz, c.begin, c.end, true);
    } else if (c.part == texture_vertices) {
        putFloatLines(sink, g.uv, c.begin, c.end, false);
    } else {
        FacetState st{c.cm, INT32_MIN};
        for (int32_t j = c.begin; j < c.end && s.ok; ++j)
            s.ok = putFacet(sink, g, t, {j, j == c.begin ? c.from : 0, j + 1 == c.end ? c.to : UINT32_MAX}, st);
        s.nq = st.nqMax;
    }
    s.len = static_cast<size_t>(sink.p - s.buf);
}

}  // namespace

struct WriterPool {
    uint32_t chunk = default_chunk;
    std::vector<std::thread> threads;
    std::vector<Slot> slots;  // chunk n goes to slot n % slots.size()
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
    // Whichever thread finds the next chunk to write done writes it, one
    // thread at a time.
    const Group* g = nullptr;
    Totals t;
    Output* out = nullptr;
    bool writing = false;
    bool stop = false;  // a chunk failed: take and write no more
    int32_t nq = INT32_MIN;  // most corners of any facet written
    size_t ready = 0, taken = 0, written = 0;
    unsigned busy = 0;  // chunks being formatted
};

namespace {

bool canTake(const WriterPool& p) { return !p.stop && p.taken < p.ready; }

bool canWrite(const WriterPool& p) {
    return !p.writing && !p.stop && p.written < p.taken &&
           p.slots[p.written % p.slots.size()].state == SlotState::done;
}

// Writes the chunks that are done, in order, with the lock released while
// each is written; the slots stay taken until then.
void writeDone(WriterPool& p, std::unique_lock<std::mutex>& lock) {
    p.writing = true;
    while (!p.stop && p.written < p.taken) {
        Slot& s = p.slots[p.written % p.slots.size()];
        if (s.state != SlotState::done) break;
        lock.unlock();
        putBytes(*p.out, s.buf, s.len);
        lock.lock();
        if (s.nq > p.nq) p.nq = s.nq;
        p.stop = !s.ok;
        s.state = SlotState::free;
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
    Slot& s = p.slots[p.taken % p.slots.size()];
    s.state = SlotState::busy;
    ++p.taken;
    ++p.busy;
    lock.unlock();
    formatChunk(s, *p.g, p.t);
    lock.lock();
    s.state = SlotState::done;
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

WriterPool* startPool(unsigned threads, uint32_t chunk) {
    if (threads < 2 || chunk == 0 || chunk > max_chunk) return nullptr;
    auto* p = new (std::nothrow) WriterPool;
    if (!p) return nullptr;
    p->chunk = chunk;
    // Room for a chunk: budget + 1 units, and the line end of a last piece.
    const size_t cap = (size_t(chunk) + 1) * unit_text_max + 32;
    try {
        p->slots.resize(size_t(threads) + 2);
        for (Slot& s : p->slots)
            if (!(s.buf = static_cast<char*>(std::malloc(cap)))) throw std::bad_alloc();
        for (unsigned i = 1; i < threads; ++i) p->threads.emplace_back(work, std::ref(*p));
    } catch (...) {
        // Fewer threads than asked for still help; none, or no buffers, do not.
    }
    bool buffers = !p->slots.empty();
    for (const Slot& s : p->slots) buffers = buffers && s.buf;
    if (!buffers || p->threads.empty()) {
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
    for (Slot& s : p->slots) std::free(s.buf);
    delete p;
}

bool writeGroupBodySplit(WriterPool& p, Output& out, const Group& g, Totals& t) {
    const size_t n = p.slots.size();
    Splitter split;
    settle(split, g);
    size_t cut = 0;  // chunks cut so far
    std::unique_lock<std::mutex> lock(p.m);
    p.g = &g;
    p.t = t;
    p.out = &out;
    p.stop = false;
    p.nq = INT32_MIN;
    p.ready = p.taken = p.written = 0;
    for (;;) {
        if (canWrite(p)) {
            writeDone(p, lock);
        } else if (!p.stop && split.part != body_done && cut < p.written + n) {
            // Free slots are no other thread's business: cut chunks into
            // them unlocked, then make them ready at once.
            const size_t upTo = p.written + n;
            lock.unlock();
            while (split.part != body_done && cut < upTo) p.slots[cut++ % n].c = nextChunk(split, g, p.chunk);
            lock.lock();
            p.ready = cut;
            if (p.idle) p.toThreads.notify_all();
        } else if (canTake(p)) {
            formatNext(p, lock);
        } else if ((p.written == p.ready && split.part == body_done) || (p.stop && !p.writing)) {
            break;
        } else {
            p.runWaits = true;
            p.toRun.wait(lock);
            p.runWaits = false;
        }
    }
    // After a failure, chunks past it may still be in hand; their text goes.
    const bool ok = !p.stop;
    p.stop = true;
    p.runWaits = true;
    p.toRun.wait(lock, [&] { return p.busy == 0; });
    p.runWaits = false;
    for (Slot& s : p.slots) s.state = SlotState::free;
    if (p.nq > t.Nq) t.Nq = p.nq;
    p.g = nullptr;
    p.out = nullptr;
    return ok;
}

#endif
