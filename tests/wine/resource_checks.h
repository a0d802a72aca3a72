#pragma once

#include <string>

void checkResources(const std::string& exe);
