// Runs whose output stops taking bytes: a sink that takes only so many, as
// a file at its size limit does, then fails, with errno set or without.
// (A full disk: test_run.cpp; inputs whose size cannot be known
// beforehand: test_input.cpp.)
#include <cerrno>
#include <gtest/gtest.h>

#include "convert/format/notice.h"
#include "convert/format/texts.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

const std::string finished = obj_texts.finished;
const std::string too_large = std::string(obj_texts.writeFailed) + "File too large";

struct Seen {
    std::string text;
    bool outCaption;  // captioned with the output, else with the input
    unsigned style;
    std::string on_disk;
};

void expectNotices(const Converted& c, const std::vector<Seen>& want, const std::string& what) {
    ASSERT_EQ(c.notices.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(c.notices[i].text, want[i].text) << what << " #" << i;
        EXPECT_EQ(c.notices[i].caption, want[i].outCaption ? c.out : c.in) << what << " #" << i;
        EXPECT_EQ(c.notices[i].style, want[i].style) << what << " #" << i;
        EXPECT_EQ(c.notices[i].on_disk, want[i].on_disk) << what << " #" << i;
    }
}

GroupSpec hip() {
    return GroupSpec{.name = "hip", .xyz = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0.5f, 0.25f, 0.125f},
                     .pf = {0, 1, 2, 3}, .faces = {{0, 4, 0}, {1, 3, 1}}, .texq = true,
                     .uv = {0, 0, 1, 0, 1, 1}, .pt = {0, 1, 2, 1}, .faces2 = {{0, 4}},
                     .mats = {"skin", "cloth"}};
}

TEST(OutputLimit, StopsTheWritingAnywhere) {
    const Bytes file = buildRsr({first(), hip()});
    const std::string whole = convertBytes(file).obj;
    const size_t body = whole.find("# File generated");
    const size_t group1 = first_text.size();
    ASSERT_EQ(whole.compare(0, group1, first_text), 0);
    const std::string io = std::string(obj_texts.writeFailed) + "Input/output error";
    const struct {
        const char* what;
        size_t limit;
        int error;
        const std::string& text;
    } cases[] = {
        {"nothing fits", 0, EFBIG, too_large},
        {"at the end of the first group", group1, EFBIG, too_large},
        {"in the middle of the second group", group1 + 20, EFBIG, too_large},
        {"one byte short of the groups", body - 1, EFBIG, too_large},
        {"exactly the groups, not the closing comments", body, EFBIG, too_large},
        {"inside the closing comments", body + 30, EFBIG, too_large},
        {"one byte short of the whole", whole.size() - 1, EFBIG, too_large},
        {"the whole", whole.size(), EFBIG, too_large},
        {"a failure that does not set errno", group1, 0, io},
        {"a failure after writes that left errno set", body - 1, -ENOSPC, io},
    };
    for (const auto& k : cases) {
        const Converted c = convertInMemoryLimited(file, k.limit, k.error);
        const std::string kept = whole.substr(0, k.limit);
        EXPECT_EQ(c.obj, kept) << k.what;
        EXPECT_EQ(c.outcome, k.limit == whole.size() ? RunOutcome::finished : RunOutcome::failed) << k.what;
        if (k.limit == whole.size()) {
            expectNotices(c, {{finished, true, notice_plain, whole.substr(0, body)}}, k.what);
        } else if (k.limit >= body) {
            // The groups are in the output when "Finished" is shown; the
            // closing comments that follow it are refused.
            expectNotices(c, {{finished, true, notice_plain, whole.substr(0, body)},
                              {k.text, true, notice_warning, kept}}, k.what);
        } else {
            expectNotices(c, {{k.text, true, notice_warning, kept}}, k.what);
        }
    }
}

TEST(OutputLimit, AWriteFailureThenAnotherFailure) {
    // A group of several output blocks: the first block meets the limit and
    // every later one fails too, the run goes on to the end of the group,
    // and then the group itself may fail.
    GroupSpec big{.name = "big", .pf = {0, 1, 2}, .faces = {{0, 3, 0}}};
    for (int i = 0; i < 3 * 100000; ++i) big.xyz.push_back(0.123457f + float(i % 7));
    GroupSpec bad = big;
    bad.faces.push_back({2, 3, 0});  // past the end of the index list
    Bytes cut = buildRsr({first(), hip()});
    cut.resize(cut.size() - 60);
    const struct {
        const char* what;
        Bytes file;
        size_t limit;
    } cases[] = {
        {"more blocks refused", buildRsr({big, first()}), 1000},
        {"then a bad value", buildRsr({bad}), 1000},
        {"then the end of the file", cut, first_text.size() - 5},
    };
    for (const auto& k : cases) {
        const std::string kept = convertBytes(k.file).obj.substr(0, k.limit);
        const Converted c = convertInMemoryLimited(k.file, k.limit, EFBIG);
        EXPECT_EQ(c.outcome, RunOutcome::failed) << k.what;
        expectNotices(c, {{too_large, true, notice_warning, kept}}, k.what);
        EXPECT_EQ(c.obj, kept) << k.what;
    }
}

}  // namespace
