// The problem of an input whose output an input earlier in the batch's
// order already has: only the earlier one converts. The console program's
// batch and the web page both tell it.
#pragma once

#include <string>

inline std::string sameOutputProblem(const std::string& output, const std::string& earlierInput) {
    return "has the same output " + output + " as " + earlierInput;
}
