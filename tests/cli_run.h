// Runs the console program as a user does and keeps what it printed.
#pragma once

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "tests/recording_notice.h"

using namespace quarlen;

struct Ran {
    int status;
    std::string out, err;
};

inline std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `quarlen ARGS` through the shell with no standard input, in folder
// dir when one is given.
inline Ran run(const std::string& args, const std::string& dir = "") {
    const std::string out = tempPath(".stdout"), err = tempPath(".stderr");
    const std::string cd = dir.empty() ? "" : "cd " + quoted(dir) + " && ";
    const std::string cmd = cd + QUARLEN_CLI + " " + args + " >" + out + " 2>" + err + " </dev/null";
    const int raw = std::system(cmd.c_str());
    Ran r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}
