// The CRC-32 of zip archives and PNG (polynomial 0xEDB88320, reflected),
// computed eight bytes at a step so that it keeps up with the writers
// that feed it their output as they make it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarlen {

// The CRC-32 of the n bytes at p continued from crc, the CRC-32 of the
// bytes before them (0 for none): crc32(crc32(0, a, n), b, m) is the
// CRC-32 of a's n bytes followed by b's m. p may be null when n is 0.
uint32_t crc32(uint32_t crc, const void* p, size_t n);

}  // namespace quarlen
