// How a run ends: a name length out of range and a bad value with their
// notices, captions, styles and what the output file holds on disk while
// each notice is shown; an output that stops taking bytes. (A file cut short
// anywhere: test_properties.cpp; memory refused: test_heap.cpp; the kind of
// file an output's name asks for: test_glb.cpp and test_batch.cpp.)
#include <cerrno>
#include <gtest/gtest.h>

#include "convert/format/notice.h"
#include "convert/format/output.h"
#include "convert/format/texts.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

struct FailureCase {
    std::string what;
    Bytes file;
    std::vector<Expected> notices;
    std::string obj;  // the output file after the run
};

TEST(Failures, NameLengthAndBadValue) {
    // The groups given, then a name length out of range: the text of the
    // groups, and a second notice that tells a short file from junk.
    auto badLength = [](const std::vector<GroupSpec>& groups, int32_t length, const std::string& text, bool junk) {
        Bytes b;
        putHeader(b);
        for (const GroupSpec& g : groups) putGroup(b, g);
        putI32(b, length);
        const std::string said = "# of chars in group name out of range: " + std::to_string(length);
        const Expected second = junk ? Expected{obj_texts.junk, "in", notice_plain, text}
                                     : Expected{short_file_text, "in", notice_warning, text};
        return FailureCase{said, b, {{said, "in", notice_warning, text}, second}, text};
    };
    // A group after the first, failing at a corner: the text up to it.
    auto badValue = [](const char* name, std::vector<int32_t> pf, Facet second, std::vector<TexFacet> faces2,
                       const std::string& after) {
        GroupSpec g = first();
        g.name = name;
        g.pf = pf;
        g.faces = {{0, 3, 0}, second};
        if (!faces2.empty()) g.texq = true, g.uv = {0, 0, 1, 1}, g.pt = {0, 1}, g.faces2 = faces2;
        const std::string text = first_text + "g " + name + "\r\nv 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\n" + after;
        return FailureCase{name, buildRsr({first(), g}), {{"bad value", "in", notice_warning, text}}, text};
    };
    const std::string f = "usemtl m\r\nf 4 5 6\r\nf", vt = "vt 0 0\r\nvt 1 1\r\n";
    const FailureCase cases[] = {
        badLength({}, 300, "", false),
        badLength({first()}, -1, first_text, true),
        badLength({{.name = "e", .xyz = {0, 0, 0}}}, 257, "g e\r\nv 0 0 0\r\n", false),  // a group without facets
        badLength({{.name = std::string(256, 'n')}}, 257, "g " + std::string(256, 'n') + "\r\n", false),  // the longest name
        // Facets count, not their corners.
        badLength({{.name = "z", .xyz = {0, 0, 0}, .faces = {{0, 0, 0}}}}, 300, "g z\r\nv 0 0 0\r\nf\r\n", true),
        badValue("over", {0, 1, 2, 0}, {2, 3, 0}, {}, f + " 6 4"),  // reaches past the fourth entry
        badValue("below", {0, 1, 2}, {-1, 2, 0}, {}, f),
        // The third texture corner of the second facet is past the list; the
        // first facet has texture corners for two of its corners only.
        badValue("tex", {0, 1, 2}, {0, 3, 0}, {{0, 2}, {0, 3}}, vt + "usemtl m\r\nf 4/1 5/2 6\r\nf 4/1 5/2 6"),
        // The texture bound wraps to -2: the first corner has no suffix, the
        // second's position wraps negative and fails.
        badValue("wrap", {0, 1, 2}, {0, 3, 0}, {{0, 2}, {2147483647, 2147483647}}, vt + "usemtl m\r\nf 4/1 5/2 6\r\nf 4 5"),
    };
    for (const FailureCase& k : cases) expectRun(convertBytes(k.file), RunOutcome::failed, k.notices, k.obj, k.what);
}

// An output that stops taking bytes: a sink that takes only so many, as a
// file at its size limit does, then fails, with errno set or without.
TEST(OutputLimit, StopsTheWritingAnywhere) {
    const GroupSpec hip{.name = "hip", .xyz = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0.5f, 0.25f, 0.125f},
                        .pf = {0, 1, 2, 3}, .faces = {{0, 4, 0}, {1, 3, 1}}, .texq = true,
                        .uv = {0, 0, 1, 0, 1, 1}, .pt = {0, 1, 2, 1}, .faces2 = {{0, 4}},
                        .mats = {"skin", "cloth"}};
    const Bytes file = buildRsr({first(), hip});
    const std::string whole = convertBytes(file).obj;
    const size_t body = whole.find("# File generated");
    const size_t group1 = first_text.size();
    ASSERT_EQ(whole.compare(0, group1, first_text), 0);
    // A group of several output blocks: a block meets the limit and every
    // later one fails too, the run goes on to the end of the group, and then
    // the group itself may fail. Whole blocks before may leave errno set.
    GroupSpec big{.name = "big", .pf = {0, 1, 2}, .faces = {{0, 3, 0}}};
    for (int i = 0; i < 3 * 100000; ++i) big.xyz.push_back(0.123457f + float(i % 7));
    GroupSpec bad = big;
    bad.faces.push_back({2, 3, 0});  // past the end of the index list
    const Bytes cut(file.begin(), file.end() - 60);
    const struct {
        const char* what;
        Bytes file;
        size_t limit;
        int error = EFBIG;  // < 0: each write that succeeds sets errno to -error
    } cases[] = {
        {"nothing fits", file, 0},
        {"at the end of the first group", file, group1},
        {"in the middle of the second group", file, group1 + 20},
        {"one byte short of the groups", file, body - 1},
        {"exactly the groups, not the closing comments", file, body},
        {"inside the closing comments", file, body + 30},
        {"one byte short of the whole", file, whole.size() - 1},
        {"the whole", file, whole.size()},
        {"a failure that does not set errno", file, group1, 0},
        {"more blocks refused", buildRsr({big, first()}), 1000},
        {"a failure after blocks that left errno set", buildRsr({big}), output_block + 1000, -ENOSPC},
        {"then a bad value", buildRsr({bad}), 1000},
        {"then the end of the file", cut, first_text.size() - 5},
    };
    for (const auto& k : cases) {
        const std::string all = convertBytes(k.file).obj, kept = all.substr(0, k.limit);
        const bool refused = k.limit < all.size();
        // The groups are in the output when "Finished" is shown; the closing
        // comments that follow it may be refused.
        const size_t groups = all.find("# File generated");
        std::vector<Expected> notices;
        if (k.limit >= groups) notices.push_back({obj_texts.finished, "out", notice_plain, all.substr(0, groups)});
        if (refused)
            notices.push_back({std::string(obj_texts.writeFailed) + (k.error > 0 ? "File too large" : "Input/output error"),
                               "out", notice_warning, kept});
        expectRun(convertInMemoryLimited(k.file, k.limit, k.error), refused ? RunOutcome::failed : RunOutcome::finished,
                  notices, kept, k.what);
    }
}

}  // namespace
