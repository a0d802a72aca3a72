#include "convert/format/file_names.h"

#include <cassert>
#include <cstring>

namespace quarlen {

bool hasExtension(const char* name, const char* ext) {
    const size_t n = std::strlen(name);
    if (n < 4) return false;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    for (size_t i = 0; i < 4; ++i)
        if (upper(name[n - 4 + i]) != upper(ext[i])) return false;
    return true;
}

std::string withExtension(const std::string& name, const char* extension) {
    assert(name.size() >= 4 && std::strlen(extension) == 4);
    return name.substr(0, name.size() - 4) + extension;
}

std::string mtlPathFor(const char* File) {
    const size_t n = std::strlen(File);
    if (n < 4 || std::strcmp(File, "-") == 0) return "";
    return withExtension(File, ".mtl");
}

const char* baseName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p) {
#ifdef _WIN32
        if (*p == '\\' || *p == ':') name = p + 1;
#endif
        if (*p == '/') name = p + 1;
    }
    return name;
}

}  // namespace quarlen
