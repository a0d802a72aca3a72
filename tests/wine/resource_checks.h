#pragma once

#include <string>

// The menu, icon, manifest and version resource of a program file whose
// version resource should say version (such as "1.1.0").
void checkResources(const std::string& exe, const std::string& version);
