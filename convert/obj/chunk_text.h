// A chunk's text: memory that grows before each piece is written into it.
// It takes the same calls as the run's Output sink (OutputSink in
// obj_lines.h), so that a body's text is made the same way in both.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>

namespace quarlen {

struct ChunkText {
    char* data = nullptr;  // the text, len bytes of cap
    size_t len = 0;        // bytes written
    size_t cap = 0;        // bytes data holds
    ChunkText() = default;
    ChunkText(ChunkText&& t) noexcept : data(t.data), len(t.len), cap(t.cap) { t.data = nullptr; }
    ChunkText& operator=(const ChunkText&) = delete;
    ~ChunkText() { std::free(data); }

    // Room for n more bytes; false when memory runs out.
    bool reserve(size_t n) {
        if (cap - len >= n) return true;
        const size_t want = std::max(len + n, 2 * cap);
        char* grown = static_cast<char*>(std::realloc(data, want));
        if (!grown) return false;
        data = grown;
        cap = want;
        return true;
    }
    size_t written() const { return len; }
    // Room reserved before.
    char* room([[maybe_unused]] size_t n) {
        assert(cap - len >= n && "room that was not reserved");
        return data + len;
    }
    void done(char* p) { len = static_cast<size_t>(p - data); }
};

}  // namespace quarlen
