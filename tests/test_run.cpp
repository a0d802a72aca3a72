// How a run ends: each failure kind with its notices, captions, styles and
// what the output file holds on disk while each notice is shown; an output
// that stops taking bytes. (A file cut short anywhere: test_properties.cpp.)
#include <cerrno>
#include <gtest/gtest.h>

#include "convert/format/notice.h"
#include "convert/format/output.h"
#include "convert/format/texts.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

struct Expected {
    std::string text, caption;  // caption "in" or "out" stands for the path
    unsigned style;
    std::string on_disk;
};

struct FailureCase {
    const char* what;
    Bytes file;
    std::vector<Expected> notices;
    std::string obj;  // the output file after the run
};

// The run's outcome, notices and output against what is expected.
void expectRun(const Converted& c, RunOutcome outcome, const std::vector<Expected>& notices, const std::string& obj,
               const std::string& what) {
    EXPECT_EQ(c.outcome, outcome) << what;
    ASSERT_EQ(c.notices.size(), notices.size()) << what;
    for (size_t i = 0; i < notices.size(); ++i) {
        const Expected& e = notices[i];
        const Shown& s = c.notices[i];
        EXPECT_EQ(s.text, e.text) << what << " #" << i;
        EXPECT_EQ(s.caption, e.caption == "in" ? c.in : e.caption == "out" ? c.out : e.caption) << what << " #" << i;
        EXPECT_EQ(s.style, e.style) << what << " #" << i;
        EXPECT_EQ(s.on_disk, e.on_disk) << what << " #" << i;
    }
    EXPECT_EQ(c.obj, obj) << what;
}

void check(const FailureCase& k) { expectRun(convertBytes(k.file), RunOutcome::failed, k.notices, k.obj, k.what); }

template <class F>
Bytes make(F f) {
    Bytes b = afterFirst();
    f(b);
    return b;
}

TEST(Failures, NameLength) {
    Bytes first300;
    putHeader(first300);
    putI32(first300, 300);
    Bytes emptyGroupThenBad;
    putHeader(emptyGroupThenBad);
    putGroup(emptyGroupThenBad, GroupSpec{.name = "e", .xyz = {0, 0, 0}});
    putI32(emptyGroupThenBad, 257);
    const std::string empty_text = "g e\r\nv 0 0 0\r\n";
    Bytes cornerless;  // facets count, not their corners
    putHeader(cornerless);
    putGroup(cornerless, GroupSpec{.name = "z", .xyz = {0, 0, 0}, .faces = {{0, 0, 0}}});
    putI32(cornerless, 300);
    const std::string cornerless_text = "g z\r\nv 0 0 0\r\nf\r\n";
    const FailureCase cases[] = {
        {"300 before any group", first300,
         {{"# of chars in group name out of range: 300", "in", notice_warning, ""},
          {short_file_text, "in", notice_warning, ""}},
         ""},
        {"-1 after a group with facets", make([](Bytes& b) { putI32(b, -1); }),
         {{"# of chars in group name out of range: -1", "in", notice_warning, first_text},
          {obj_texts.junk, "in", notice_plain, first_text}},
         first_text},
        {"257 after a group without facets", emptyGroupThenBad,
         {{"# of chars in group name out of range: 257", "in", notice_warning, empty_text},
          {short_file_text, "in", notice_warning, empty_text}},
         empty_text},
        {"300 after a facet of no corners", cornerless,
         {{"# of chars in group name out of range: 300", "in", notice_warning, cornerless_text},
          {obj_texts.junk, "in", notice_plain, cornerless_text}},
         cornerless_text},
    };
    for (const FailureCase& k : cases) check(k);
}

TEST(Failures, CountsNoMemoryOrFileCanHold) {
    // Every count's rule and message over hostile values: the mutated-file
    // property (test_properties.cpp). Here, what the output holds at each.
    auto count = [](const std::string& name, int32_t value, size_t present) {
        Bytes b = hipUpTo(name);
        putI32(b, value);
        putFill(b, present, 0);  // fewer bytes than the count's data needs
        return b;
    };
    const std::string hip = first_text + "g hip\r\n";
    const Expected mem{memory_texts.text, "farmalloc", notice_warning, first_text};
    const Expected eof{"end of file", "in", notice_warning, first_text};
    auto ranOut = [&](const char* text) { return Expected{text, "in", notice_warning, first_text}; };
    const FailureCase cases[] = {
        {"negative np asks three times", count("np", -1, 64),
         {mem, mem, mem, ranOut("I ran out of store reading hip: np=-1=0xffffffff")}, hip},
        {"nf past 4 GiB", count("nf", 238609295, 64),
         {mem, ranOut("I ran out of store reading hip: nf=238609295=0x0e38e38f")}, hip},
        {"negative nt asks once", count("nt", -3, 64), {mem, ranOut("I ran out of store reading hip: nt=-3=0xfffffffd")}, hip},
        {"largest np below 4 GiB of arrays", count("np", 1073741823, 0), {eof}, hip},
        {"one point short", count("np", 2, 23 + 4), {eof}, hip},
        {"nm of a hundred million", count("nm", 100000000, 100), {eof}, hip},
    };
    for (const FailureCase& k : cases) check(k);
}

TEST(Failures, BadValue) {
    // A group after the first, failing at a corner; the text up to it.
    auto group = [](const char* name, std::vector<int32_t> pf, Facet second, std::vector<TexFacet> faces2) {
        GroupSpec g = first();
        g.name = name;
        g.pf = pf;
        g.faces = {{0, 3, 0}, second};
        if (!faces2.empty()) g.texq = true, g.uv = {0, 0, 1, 1}, g.pt = {0, 1}, g.faces2 = faces2;
        return g;
    };
    const std::string f = "usemtl m\r\nf 4 5 6\r\nf", vt = "vt 0 0\r\nvt 1 1\r\n";
    const struct {
        GroupSpec g;
        std::string text;  // after the points
    } cases[] = {
        {group("over", {0, 1, 2, 0}, {2, 3, 0}, {}), f + " 6 4"},  // reaches past the fourth entry
        {group("below", {0, 1, 2}, {-1, 2, 0}, {}), f},
        // The third texture corner of the second facet is past the list; the
        // first facet has texture corners for two of its corners only.
        {group("tex", {0, 1, 2}, {0, 3, 0}, {{0, 2}, {0, 3}}), vt + "usemtl m\r\nf 4/1 5/2 6\r\nf 4/1 5/2 6"},
        // The texture bound wraps to -2: the first corner has no suffix, the
        // second's position wraps negative and fails.
        {group("wrap", {0, 1, 2}, {0, 3, 0}, {{0, 2}, {2147483647, 2147483647}}), vt + "usemtl m\r\nf 4/1 5/2 6\r\nf 4 5"},
    };
    for (const auto& k : cases) {
        const std::string text = first_text + "g " + k.g.name + "\r\nv 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\n" + k.text;
        check({k.g.name.c_str(), buildRsr({first(), k.g}), {{"bad value", "in", notice_warning, text}}, text});
    }
}

TEST(Run, AFullDiskIsAFailureNotAFinish) {
    const std::string in = tempPath(".rsr");
    writeFile(in, buildRsr({first()}));
    shown.clear();
    EXPECT_EQ(convertRSR(in.c_str(), "/dev/full", recorded).outcome, RunOutcome::failed);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, std::string(obj_texts.writeFailed) + "No space left on device");
    EXPECT_EQ(shown[0].caption, "/dev/full");
    EXPECT_EQ(shown[0].style, notice_warning);
    std::remove(in.c_str());
}

// An output that stops taking bytes: a sink that takes only so many, as a
// file at its size limit does, then fails, with errno set or without.
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
    const std::string failed = obj_texts.writeFailed, too_large = failed + "File too large";
    const struct {
        const char* what;
        size_t limit;
        int error;
        std::string text;
    } cases[] = {
        {"nothing fits", 0, EFBIG, too_large},
        {"at the end of the first group", group1, EFBIG, too_large},
        {"in the middle of the second group", group1 + 20, EFBIG, too_large},
        {"one byte short of the groups", body - 1, EFBIG, too_large},
        {"exactly the groups, not the closing comments", body, EFBIG, too_large},
        {"inside the closing comments", body + 30, EFBIG, too_large},
        {"one byte short of the whole", whole.size() - 1, EFBIG, too_large},
        {"the whole", whole.size(), EFBIG, ""},
        {"a failure that does not set errno", group1, 0, failed + "Input/output error"},
    };
    for (const auto& k : cases) {
        const std::string kept = whole.substr(0, k.limit);
        // The groups are in the output when "Finished" is shown; the closing
        // comments that follow it may be refused.
        std::vector<Expected> notices;
        if (k.limit >= body) notices.push_back({obj_texts.finished, "out", notice_plain, whole.substr(0, body)});
        if (!k.text.empty()) notices.push_back({k.text, "out", notice_warning, kept});
        expectRun(convertInMemoryLimited(file, k.limit, k.error), k.text.empty() ? RunOutcome::finished : RunOutcome::failed,
                  notices, kept, k.what);
    }

    // A group of several output blocks: a block meets the limit and every
    // later one fails too, the run goes on to the end of the group, and then
    // the group itself may fail. Whole blocks before may leave errno set.
    GroupSpec big{.name = "big", .pf = {0, 1, 2}, .faces = {{0, 3, 0}}};
    for (int i = 0; i < 3 * 100000; ++i) big.xyz.push_back(0.123457f + float(i % 7));
    GroupSpec bad = big;
    bad.faces.push_back({2, 3, 0});  // past the end of the index list
    Bytes cut = file;
    cut.resize(cut.size() - 60);
    const struct {
        const char* what;
        Bytes file;
        size_t limit;
        int error = EFBIG;
    } after[] = {
        {"more blocks refused", buildRsr({big, first()}), 1000},
        {"a failure after blocks that left errno set", buildRsr({big}), output_block + 1000, -ENOSPC},
        {"then a bad value", buildRsr({bad}), 1000},
        {"then the end of the file", cut, first_text.size() - 5},
    };
    for (const auto& k : after) {
        const std::string kept = convertBytes(k.file).obj.substr(0, k.limit);
        const std::string text = k.error > 0 ? too_large : failed + "Input/output error";
        expectRun(convertInMemoryLimited(k.file, k.limit, k.error), RunOutcome::failed,
                  {{text, "out", notice_warning, kept}}, kept, k.what);
    }
}

}  // namespace
