#include "convert/glb/container.h"

#include <cassert>
#include <cerrno>
#include <cstdint>

namespace quarlen {

namespace {

constexpr uint64_t header_bytes = 12, chunk_header_bytes = 8;

void put32(Output& out, uint32_t x) {
    const char b[4] = {static_cast<char>(x), static_cast<char>(x >> 8), static_cast<char>(x >> 16),
                       static_cast<char>(x >> 24)};
    putBytes(out, b, 4);
}

}  // namespace

bool writeGlb(Output& out, std::string json, GlbSpill& binary) {
    assert(binary.size() % 4 == 0);
    while (json.size() % 4) json += ' ';
    const uint64_t total = header_bytes + chunk_header_bytes + json.size() +
                           (binary.size() ? chunk_header_bytes + binary.size() : 0);
    assert(total % 4 == 0 && "every chunk keeps the next one aligned");
    if (total > UINT32_MAX) {
        errno = EFBIG;
        return false;
    }
    putBytes(out, "glTF", 4);
    put32(out, 2);
    put32(out, uint32_t(total));
    put32(out, uint32_t(json.size()));
    putBytes(out, "JSON", 4);
    putBytes(out, json.data(), json.size());
    if (!binary.size()) return true;
    put32(out, uint32_t(binary.size()));
    putBytes(out, "BIN\0", 4);
    return binary.copyTo(out);
}

}  // namespace quarlen
