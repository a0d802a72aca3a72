// Peak memory of a conversion, measured in a process of its own: it stays
// within a small constant of the largest group's own data. (Counts that
// claim more than the file holds ask for nothing: test_heap.cpp.)
#include <cstdio>
#include <gtest/gtest.h>

#include "tests/model_gen.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

struct Peak {
    long kb = -1;
    int outcome = -1, notices = -1;
};

// Converts rsr in a fresh quarlen_memprobe process and reads its report.
Peak measure(const Bytes& rsr, bool weld = false) {
    const std::string in = tempPath(".rsr"), out = tempPath(".obj");
    writeFile(in, rsr);
    Peak p;
    // Under AddressSanitizer, freed blocks wait in a quarantine instead of
    // being reused, and each thread gets fake stacks of several MB; without
    // them the peak means the same as in a plain build.
    const std::string cmd = "ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:quarantine_size_mb=0:detect_stack_use_after_return=0\" " +
                            std::string(QUARLEN_MEMPROBE) + " '" + in + "' '" + out + "'" + (weld ? " --weld" : "");
    if (FILE* f = popen(cmd.c_str(), "r")) {
        if (std::fscanf(f, "maxrss_kb=%ld outcome=%d notices=%d", &p.kb, &p.outcome, &p.notices) != 3) p.kb = -1;
        pclose(f);
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    return p;
}

#if defined(__SANITIZE_ADDRESS__)
#define QUARLEN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARLEN_ASAN 1
#endif
#endif

// Allocator and page-size noise around one run; AddressSanitizer adds its
// shadow memory and fake stacks.
#ifdef QUARLEN_ASAN
constexpr long slack_kb = 4096;
#else
constexpr long slack_kb = 2048;
#endif

TEST(Memory, PeakFollowsTheLargestGroupNotTheFile) {
    // One group of 150,000 points with 50,000 quads and texture data.
    Dice d(3);
    GroupSpec big{.name = "big", .texq = true};
    const int np = 150000, nf = 50000;
    for (int i = 0; i < np * 3; ++i) big.xyz.push_back(d.coordinate());
    for (int i = 0; i < np * 2; ++i) big.uv.push_back(d.coordinate());
    for (int j = 0; j < nf; ++j) {
        big.faces.push_back({4 * j, 4, 0});
        big.faces2.push_back({4 * j, 4});
        for (int k = 0; k < 4; ++k) {
            big.pf.push_back(d.upTo(0, np - 1));
            big.pt.push_back(d.upTo(0, np - 1));
        }
    }
    big.mats = {"m"};
    // The arrays the converter holds for this group, in KB.
    const StoredArrays held(big);
    const long groupKb = long(held.xyz.size() + held.uv.size() + held.pf.size() + held.pt.size() + held.fac.size() +
                              held.fac2.size() + held.mats.size()) / 1024;

    const Peak base = measure(buildRsr({first()}));
    const Peak one = measure(buildRsr({big}));
    const Peak five = measure(buildRsr({big, big, first(), big, big, big}));
    ASSERT_EQ(one.outcome, int(RunOutcome::finished));
    ASSERT_EQ(five.outcome, int(RunOutcome::finished));
    std::printf("group data %ld KB; baseline %ld KB; one group %ld KB (%+ld); five groups %ld KB (%+ld)\n", groupKb,
                base.kb, one.kb, one.kb - base.kb, five.kb, five.kb - base.kb);
    EXPECT_LE(one.kb, base.kb + groupKb + slack_kb);
    // Five such groups in one file cost no more than one.
    EXPECT_LE(five.kb, one.kb + slack_kb);

    // With --weld the table grows with the distinct points of the file:
    // five copies of one group weld into one set of points and cost about
    // one table; five groups of distinct points need five times the room.
    std::vector<GroupSpec> distinct;
    for (int k = 0; k < 5; ++k) {
        distinct.push_back(big);
        for (float& c : distinct.back().xyz) c += float(k + 1) * 1e6f;
    }
    const Peak sameWelded = measure(buildRsr({big, big, big, big, big}), true);
    const Peak distinctWelded = measure(buildRsr(distinct), true);
    ASSERT_EQ(sameWelded.outcome, int(RunOutcome::finished));
    ASSERT_EQ(distinctWelded.outcome, int(RunOutcome::finished));
    const long tableKb = distinctWelded.kb - sameWelded.kb;
    std::printf("--weld: five copies of the group %ld KB (%+ld on one group unwelded); five distinct groups %ld KB "
                "(%+ld: %.0f bytes a point)\n", sameWelded.kb, sameWelded.kb - one.kb, distinctWelded.kb, tableKb,
                double(tableKb) * 1024.0 / (4.0 * np));
    // A table for 150,000 points: at most 6 slots of 16 bytes each while it
    // grows, plus the group's 4-byte numbers.
    EXPECT_LE(sameWelded.kb, one.kb + long(np) * 100 / 1024 + slack_kb);
    EXPECT_GT(distinctWelded.kb, sameWelded.kb + long(np) * 4 * 16 / 1024);
}

}  // namespace
