// The text pieces of a glTF file's JSON part: names as JSON strings of valid
// UTF-8, and numbers that read back exactly.
#pragma once

#include <cstdint>
#include <string>

namespace quarlen {

// Appends the name s (up to its NUL) to out as valid UTF-8: each byte that
// does not begin a well-formed UTF-8 sequence is read as Latin-1. Returns
// true when some byte was.
bool appendUtf8(std::string& out, const char* s);

// Appends s, valid UTF-8, as a quoted JSON string.
void putJsonString(std::string& out, const std::string& s);

// Appends v, finite, as a JSON number that reads back as the same double.
void putJsonNumber(std::string& out, double v);
void putJsonNumber(std::string& out, uint64_t v);

}  // namespace quarlen
