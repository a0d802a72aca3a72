// The rule every conversion run keeps, whatever its input: it ends with
// exactly one outcome. A finished run shows the "Finished" notice and nothing
// else; a failed run shows a failure in one of the known sequences and never
// "Finished". Shared by the GoogleTest suite and the fuzz target.
#pragma once

#include <string>
#include <vector>

#include "convert/run/run.h"
#include "convert/run/notice.h"

using namespace quarlen;

struct SeenNotice {
    std::string text, caption;
    unsigned style;
};

inline bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Empty when the run kept the rule, else what went wrong. `in` and `out` are
// the paths the run was given; captions must name them.
inline std::string oneOutcomeViolation(RunOutcome outcome, const std::vector<SeenNotice>& seen,
                                       const std::string& in, const std::string& out) {
    static const std::string finished =
        "Finished. If Bryce refuses to read this .OBJ file, use a text editor to move to the "
        "start of the file the 3 comment lines starting with `#' that you will find at the end "
        "of the file.";
    static const std::string no_memory = "I can't get enough memory";
    static const std::string short_file =
        "This may be a \"short RSR\" file that contains only a library thumbnail graphic image. "
        "I can't handle those.";
    static const std::string junk =
        "I probably hit junk at the end of the .RSR file, and likely the output .OBJ file is "
        "complete";

    if (outcome == RunOutcome::finished) {
        if (seen.size() != 1) return "finished with " + std::to_string(seen.size()) + " notices";
        if (seen[0].text != finished || seen[0].caption != out || seen[0].style != notice_plain)
            return "finished, but the notice was: " + seen[0].text;
        return "";
    }
    if (outcome != RunOutcome::failed) return "the files could not be opened";
    if (seen.empty()) return "failed without a notice";
    for (const SeenNotice& s : seen)
        if (s.text == finished) return "failed, yet showed the Finished notice";
    // A write to the output that failed is told alone, captioned with the output.
    if (startsWith(seen[0].text, "I can't write the .OBJ file: ")) {
        if (seen.size() != 1) return "notices besides the write failure";
        return seen[0].caption == out && seen[0].style == notice_warning ? "" : "the write failure's caption or style";
    }

    // The allocation notices come first, then the one failure message.
    size_t i = 0;
    while (i < seen.size() && seen[i].text == no_memory) {
        if (seen[i].caption != "farmalloc" || seen[i].style != notice_warning)
            return "a farmalloc notice with the wrong caption or style";
        ++i;
    }
    if (i == seen.size()) return "farmalloc notices without a failure message";
    const SeenNotice& m = seen[i];
    if (m.caption != in || m.style != notice_warning) return "the failure message's caption or style: " + m.text;
    const size_t after = seen.size() - i - 1;
    if (startsWith(m.text, "I ran out of store reading ")) {
        if (i == 0) return "ran out of store without a farmalloc notice";
        return after == 0 ? "" : "notices after the allocation message";
    }
    if (i != 0) return "farmalloc notices before: " + m.text;
    if (m.text == "end of file" || m.text == "bad value")
        return after == 0 ? "" : "notices after: " + m.text;
    if (startsWith(m.text, "# of chars in group name out of range: ")) {
        if (after != 1) return "the name-length failure needs exactly one second notice";
        const SeenNotice& second = seen[i + 1];
        if (second.caption != in) return "the second notice's caption";
        if (second.text == short_file && second.style == notice_warning) return "";
        if (second.text == junk && second.style == notice_plain) return "";
        return "an unknown second notice: " + second.text;
    }
    return "an unknown failure message: " + m.text;
}
