#include "convert/format/input.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <sys/stat.h>

#include "convert/format/mapping_guard.h"

#ifdef QUARLEN_MAP_ARRAYS
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace quarlen {

namespace {

constexpr size_t input_block = size_t(1) << 16;
// How much held memory grows at a time for a file whose size is unknown.
constexpr size_t hold_step = size_t(1) << 20;
// Arrays this large are mapped rather than copied, where they can be; read,
// they reserve held memory for the rest of the file.
constexpr size_t map_min = size_t(1) << 16;
constexpr size_t reserve_min = map_min;

int64_t fileSize(FILE* f) {
#ifdef _WIN32
    struct _stat64 st;
    if (_fstat64(_fileno(f), &st) != 0 || !(st.st_mode & _S_IFREG)) return -1;
#else
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
#endif
    return static_cast<int64_t>(st.st_size);
}

// The next block of the file into the block buffer; false at its end.
bool refill(Input& in) {
    if (in.eof || !in.f) return false;
    in.base += static_cast<int64_t>(in.len);
    in.pos = 0;
    in.len = std::fread(in.block, 1, input_block, in.f);
    in.buf = in.block;
    return in.len > 0;
}

// Reads straight from the file into dst, past the block buffer, which has
// been used up. Returns the bytes that came.
size_t readDirect(Input& in, unsigned char* dst, size_t n) {
    in.base += static_cast<int64_t>(in.len);
    in.pos = in.len = 0;
    const size_t got = in.eof ? 0 : std::fread(dst, 1, n, in.f);
    in.base += static_cast<int64_t>(got);
    return got;
}

bool growHold(Input& in, size_t need) {
    size_t cap = std::max(need, in.holdCap + in.holdCap / 2);
    auto* p = static_cast<unsigned char*>(std::realloc(in.hold, cap));
    if (!p && cap > need) p = static_cast<unsigned char*>(std::realloc(in.hold, cap = need));
    if (!p) return false;
    in.hold = p;
    in.holdCap = cap;
    return true;
}

#ifdef QUARLEN_MAP_ARRAYS
// Maps the n bytes at the read position and moves past them. The mapping
// ends with the array: mapped pages count as the process's memory, and
// pages past the array would make it grow with the file. False, with
// nothing moved, when the array is better copied or cannot be mapped.
bool mapArray(Input& in, size_t n, Piece& piece) {
    if (!in.cut || in.size < 0 || n < map_min || n <= in.len - in.pos ||
        in.mapped == static_cast<int>(std::size(in.maps)))
        return false;
    const int64_t at = in.base + static_cast<int64_t>(in.pos);
    if (uint64_t(n) > uint64_t(in.size - at)) return false;  // runs past the end
    const int64_t end = at + static_cast<int64_t>(n);
    const long page = sysconf(_SC_PAGESIZE);
    if (page <= 0 || end > std::numeric_limits<off_t>::max()) return false;
    const int64_t start = at / page * page;
    const auto len = static_cast<size_t>(end - start);
    void* m = mmap(nullptr, len, PROT_READ, MAP_PRIVATE, fileno(in.f), static_cast<off_t>(start));
    if (m == MAP_FAILED) return false;
    const int guard = guardMapping(m, len, in.cut);
    if (guard < 0 || fseeko(in.f, static_cast<off_t>(end), SEEK_SET) != 0) {
        if (guard >= 0) releaseMapping(guard);
        munmap(m, len);
        return false;
    }
    in.maps[in.mapped++] = {m, len, guard};
    piece.inPlace = static_cast<const unsigned char*>(m) + (at - start);
    in.base = end;
    in.pos = in.len = 0;
    return true;
}

void unmapArrays(Input& in) {
    for (int i = 0; i < in.mapped; ++i) {
        releaseMapping(in.maps[i].guard);
        munmap(in.maps[i].at, in.maps[i].len);
    }
    in.mapped = 0;
}
#else
bool mapArray(Input&, size_t, Piece&) { return false; }
void unmapArrays(Input&) {}
#endif

}  // namespace

bool openInput(Input& in, const char* path, std::atomic<bool>* cut) {
    in = Input{};
    in.f = std::fopen(path, "rb");
    if (!in.f) return false;
    in.block = static_cast<unsigned char*>(std::malloc(input_block));
    if (!in.block) {
        std::fclose(in.f);
        in.f = nullptr;
        errno = ENOMEM;
        return false;
    }
    in.buf = in.block;
    in.size = fileSize(in.f);
    in.cut = cut;
    std::setvbuf(in.f, nullptr, _IONBF, 0);  // reads are whole blocks already
    return true;
}

void openInputBytes(Input& in, const unsigned char* data, size_t n) {
    in = Input{};
    in.buf = data;
    in.len = n;
    in.size = static_cast<int64_t>(n);
}

void closeInput(Input& in) {
    unmapArrays(in);
    if (in.f) std::fclose(in.f);
    std::free(in.block);
    std::free(in.hold);
    in = Input{};
}

void readBytes(Input& in, void* dst, size_t n) {
    auto* out = static_cast<unsigned char*>(dst);
    while (n > 0) {
        if (in.pos == in.len && !refill(in)) {
            in.eof = true;
            std::memset(out, 0, n);
            return;
        }
        const size_t take = std::min(in.len - in.pos, n);
        std::memcpy(out, in.buf + in.pos, take);
        in.pos += take;
        out += take;
        n -= take;
    }
}

Take takeBytes(Input& in, uint64_t n, Piece& piece) {
    piece = Piece{};
    if (n > SIZE_MAX - in.held) return Take::no_memory;
    if (!in.f) {
        // Bytes in memory: the array is where it lies, or the input ends.
        const size_t left = in.len - in.pos;
        if (n > left) {
            in.pos = in.len;
            in.eof = true;
            return Take::short_read;
        }
        piece.inPlace = in.buf + in.pos;
        in.pos += static_cast<size_t>(n);
        return Take::ok;
    }
    if (mapArray(in, static_cast<size_t>(n), piece)) return Take::ok;
    piece.at = in.held;
    auto left = static_cast<size_t>(n);
    while (left > 0) {
        if (in.held == in.holdCap) {
            // A file of known size has been checked to hold the array. For a
            // large one, held memory is asked for the rest of the file at
            // once: only the pages read into count, and it need not grow
            // again, which would hold the old block and the new one at once
            // where realloc copies.
            const int64_t rest = bytesLeft(in);
            const bool reserve = in.size >= 0 && left >= reserve_min && uint64_t(rest) <= SIZE_MAX - in.held;
            const size_t want = in.size >= 0 ? left : std::min(left, std::max(hold_step, in.holdCap / 2));
            if (!(reserve && growHold(in, in.held + size_t(rest))) && !growHold(in, in.held + want))
                return Take::no_memory;
        }
        unsigned char* dst = in.hold + in.held;
        const size_t part = std::min(in.holdCap - in.held, left);
        size_t got;
        if (in.pos < in.len) {
            got = std::min(part, in.len - in.pos);
            std::memcpy(dst, in.buf + in.pos, got);
            in.pos += got;
        } else if (part >= input_block) {
            got = readDirect(in, dst, part);
            if (got < part) in.eof = true;
        } else if (refill(in)) {
            got = std::min(part, in.len);
            std::memcpy(dst, in.buf, got);
            in.pos = got;
        } else {
            got = 0;
            in.eof = true;
        }
        assert(got <= left && in.held + got <= in.holdCap);
        in.held += got;
        left -= got;
        if (in.eof) return Take::short_read;
    }
    assert(piece.at + n == in.held);
    return Take::ok;
}

Take skipBytes(Input& in, uint64_t n) {
    const size_t inBlock = in.len - in.pos;
    if (n <= inBlock) {
        in.pos += static_cast<size_t>(n);
        return Take::ok;
    }
    n -= inBlock;
    in.pos = in.len;
    if (!in.f) {
        in.eof = true;
        return Take::short_read;
    }
    // Past a file's end a seek succeeds and the next read finds nothing.
    if (in.size >= 0 && n <= uint64_t(bytesLeft(in))) {
#ifdef _WIN32
        const bool sought = _fseeki64(in.f, static_cast<long long>(n), SEEK_CUR) == 0;
#else
        const bool sought = n <= uint64_t(std::numeric_limits<off_t>::max()) &&
                            fseeko(in.f, static_cast<off_t>(n), SEEK_CUR) == 0;
#endif
        if (sought) {
            in.base += static_cast<int64_t>(in.len + n);
            in.pos = in.len = 0;
            return Take::ok;
        }
    }
    while (n > 0) {
        if (!refill(in)) {
            in.eof = true;
            return Take::short_read;
        }
        in.pos = static_cast<size_t>(std::min<uint64_t>(n, in.len));
        n -= in.pos;
    }
    return Take::ok;
}

void startGroup(Input& in) {
    in.held = 0;
    unmapArrays(in);
}

}  // namespace quarlen
