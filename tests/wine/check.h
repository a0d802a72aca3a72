// One line per check, and the tally printed at the end.
#pragma once

#include <string>

void check(bool ok, const std::string& what, const std::string& detail = "");
int checksPassed();
int checksFailed();
