// What the benchmarks measure with: a file's size and a call's wall time.
#pragma once

#include <chrono>
#include <string>
#include <sys/stat.h>

// The size of the file at path in MB (10^6 bytes), 0 when there is none.
inline double fileMB(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return 0;
    return static_cast<double>(st.st_size) / 1e6;
}

// The wall seconds f() takes.
template <class F>
double seconds(F f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
