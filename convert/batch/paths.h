// Paths cross the batch code as UTF-8 on Windows, whatever the code page,
// and as the system's own bytes elsewhere, so that every name survives.
#pragma once

#include <filesystem>
#include <string>

namespace quarlen {

inline std::filesystem::path toPath(const std::string& s) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(s.begin(), s.end()));
#else
    return std::filesystem::path(s);
#endif
}

inline std::string toText(const std::filesystem::path& p) {
#ifdef _WIN32
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
#else
    return p.string();
#endif
}

}  // namespace quarlen
