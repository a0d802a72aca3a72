// The rule every conversion run keeps, whatever its input: it ends with
// exactly one outcome. A finished run shows the "Finished" notice and nothing
// else; a failed run shows a failure in one of the known sequences and never
// "Finished". Shared by the GoogleTest suite and the fuzz target.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "convert/run/run.h"
#include "convert/format/notice.h"
#include "convert/format/texts.h"

using namespace quarlen;

struct SeenNotice {
    std::string text, caption;
    unsigned style;
};

inline bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// What every notice made from format f starts with: the text before its
// first field.
inline std::string formatStart(const char* f) { return std::string(f, std::strcspn(f, "%")); }

// Empty when the run kept the rule, else what went wrong. `in` and `out` are
// the paths the run was given; captions must name them.
inline std::string oneOutcomeViolation(RunOutcome outcome, const std::vector<SeenNotice>& seen,
                                       const std::string& in, const std::string& out) {
    if (outcome == RunOutcome::finished) {
        if (seen.size() != 1) return "finished with " + std::to_string(seen.size()) + " notices";
        if (seen[0].text != obj_texts.finished || seen[0].caption != out || seen[0].style != notice_plain)
            return "finished, but the notice was: " + seen[0].text;
        return "";
    }
    if (outcome != RunOutcome::failed) return "the files could not be opened";
    if (seen.empty()) return "failed without a notice";
    for (const SeenNotice& s : seen)
        if (s.text == obj_texts.finished) return "failed, yet showed the Finished notice";
    // A write to the output that failed is told alone, captioned with the output.
    if (startsWith(seen[0].text, obj_texts.writeFailed)) {
        if (seen.size() != 1) return "notices besides the write failure";
        return seen[0].caption == out && seen[0].style == notice_warning ? "" : "the write failure's caption or style";
    }

    // The allocation notices come first, then the one failure message.
    size_t i = 0;
    while (i < seen.size() && seen[i].text == memory_texts.text) {
        if (seen[i].caption != memory_texts.caption || seen[i].style != notice_warning)
            return "a farmalloc notice with the wrong caption or style";
        ++i;
    }
    if (i == seen.size()) return "farmalloc notices without a failure message";
    const SeenNotice& m = seen[i];
    if (m.caption != in || m.style != notice_warning) return "the failure message's caption or style: " + m.text;
    const size_t after = seen.size() - i - 1;
    if (startsWith(m.text, formatStart(memory_texts.countFormat))) {
        if (i == 0) return "ran out of store without a farmalloc notice";
        return after == 0 ? "" : "notices after the allocation message";
    }
    if (i != 0) return "farmalloc notices before: " + m.text;
    if (m.text == end_of_file_text || m.text == bad_value_text)
        return after == 0 ? "" : "notices after: " + m.text;
    if (startsWith(m.text, formatStart(bad_length_format))) {
        if (after != 1) return "the name-length failure needs exactly one second notice";
        const SeenNotice& second = seen[i + 1];
        if (second.caption != in) return "the second notice's caption";
        if (second.text == short_file_text && second.style == notice_warning) return "";
        if (second.text == obj_texts.junk && second.style == notice_plain) return "";
        return "an unknown second notice: " + second.text;
    }
    return "an unknown failure message: " + m.text;
}
