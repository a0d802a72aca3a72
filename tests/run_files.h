// Small files for the run tests: a complete first group, and a second group
// named hip that stops before any of its count fields, so that a case can
// put its own value there.
#pragma once

#include <string>

#include "tests/rsr_builder.h"

using namespace quarlen;

// A complete group with one triangle, and the exact text it converts to.
inline GroupSpec first() {
    return GroupSpec{.name = "first", .xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0}, .pf = {0, 1, 2},
                     .faces = {{0, 3, 0}}, .mats = {"m"}};
}
inline const std::string first_text =
    "g first\r\nv 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nusemtl m\r\nf 1 2 3\r\n";

// Bytes of a file holding the header and the first group, then whatever a
// case appends.
inline Bytes afterFirst() {
    Bytes b;
    putHeader(b);
    putGroup(b, first());
    return b;
}

// Fields of a group named hip up to (not including) its count field `upTo`.
inline Bytes hipUpTo(const std::string& upTo) {
    Bytes b = afterFirst();
    putI32(b, 3);
    putRaw(b, "hip");
    if (upTo == "np") return b;
    putI32(b, 1);
    for (int i = 0; i < 3; ++i) putF32(b, 1.0f);
    if (upTo == "nq") return b;
    putI32(b, 0);
    if (upTo == "nf") return b;
    putI32(b, 0);
    putI32(b, 1);  // texq
    if (upTo == "nt") return b;
    putI32(b, 0);
    if (upTo == "nq2") return b;
    putI32(b, 0);
    if (upTo == "nf2") return b;
    putI32(b, 0);
    return b;  // nm next
}
