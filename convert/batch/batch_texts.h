// What the batch says of a file no run could take, and of two inputs with
// the same output. The console program's one-file form and --info say the
// first two the same way.
#pragma once

#include <string>

namespace quarlen {

inline constexpr const char* input_not_opened_text = "cannot open the input: ";
inline constexpr const char* output_not_created_text = "cannot create the output: ";
inline constexpr const char* rename_failed_text = "cannot rename the finished output into place: ";

// The failure of the second of two inputs with the same output.
inline std::string sameOutputText(const std::string& out, const std::string& earlierInput) {
    return "has the same output " + out + " as " + earlierInput;
}

}  // namespace quarlen
