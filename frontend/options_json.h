// The output options as the web page builds its controls from them.
#pragma once

#include <string>

namespace quarlen {

// {"options":[{"name","field","takesValue","withGlb","default","help"},...]},
// the scale's row with "glbDefault" as well; help on one line. --info is
// left out: the page describes every file it converts.
std::string optionTableJson();

}  // namespace quarlen
