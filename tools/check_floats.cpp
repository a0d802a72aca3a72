// Compares the OBJ writer's float formatting with the C library's "%g" on
// every one of the 2^32 float bit patterns, on all cores. Infinities and NaNs
// are checked against the writer's own words. Takes about a quarter of an
// hour on two cores.
//
//   check_floats [FIRST LAST]   (bit patterns, hexadecimal; default all)
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "convert/obj/number_text.h"

using namespace quarlen;

namespace {

std::atomic<uint64_t> mismatches{0};

void check(uint64_t first, uint64_t last) {
    char ours[float_text_max + 1], theirs[64];
    for (uint64_t b = first; b <= last; ++b) {
        const auto bits = static_cast<uint32_t>(b);
        const float f = std::bit_cast<float>(bits);
        *formatFloat(ours, f) = '\0';
        if (std::isinf(f) || std::isnan(f))
            std::snprintf(theirs, sizeof theirs, "%c%s", bits >> 31 ? '-' : '+', std::isinf(f) ? "INF" : "NAN");
        else
            std::snprintf(theirs, sizeof theirs, "%g", static_cast<double>(f));
        if (std::strcmp(ours, theirs) != 0 && mismatches++ < 20)
            std::printf("mismatch %08x: %s, expected %s\n", bits, ours, theirs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t first = argc == 3 ? std::strtoull(argv[1], nullptr, 16) : 0;
    const uint64_t last = argc == 3 ? std::strtoull(argv[2], nullptr, 16) : 0xFFFFFFFFull;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    const uint64_t total = last - first + 1, share = total / threads;
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
        const uint64_t a = first + t * share, z = t + 1 == threads ? last : a + share - 1;
        pool.emplace_back(check, a, z);
    }
    for (std::thread& t : pool) t.join();
    std::printf("%llu patterns checked, %llu mismatches\n", static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(mismatches.load()));
    return mismatches == 0 ? 0 : 1;
}
