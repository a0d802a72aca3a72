// The run against a heap that says no. This program is linked with
// -Wl,--wrap=malloc, so that every malloc of the converter comes here first:
// a test can refuse one chosen request and count the requests of one size.
#include <cstdlib>
#include <gtest/gtest.h>

#include "convert/notice.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

extern "C" void* __real_malloc(size_t n);

namespace {

struct {
    size_t size = 0;  // requests of this many bytes are counted
    int seen = 0;
    int refuse = 0;   // which of them gets no memory (1 for the first), 0 for none
} heap;

void watchHeap(size_t size, int refuse = 0) { heap = {size, 0, refuse}; }

}  // namespace

extern "C" void* __wrap_malloc(size_t n) {
    if (n == heap.size && ++heap.seen == heap.refuse) return nullptr;
    return __real_malloc(n);
}

namespace {

const std::string no_memory = "I can't get enough memory";

TEST(Heap, SecondOrThirdArrayOfAGroupRefused) {
    // Sizes no other array of the file has: 7 points of 4 bytes, 5 texture
    // vertices of 4 bytes.
    GroupSpec hip{.name = "hip", .xyz = std::vector<float>(21, 1.0f), .pf = {0, 1, 2}, .faces = {{0, 3, 0}},
                  .texq = true, .uv = std::vector<float>(10, 0.5f), .pt = {0, 1, 2}, .faces2 = {{0, 3}},
                  .mats = {"m"}};
    const Bytes file = buildRsr({first(), hip});
    const struct {
        const char* what;
        size_t size;
        int refuse, asked;
        std::string message;
    } cases[] = {
        {"y", 28, 2, 3, "I ran out of store reading hip: np=7=0x00000007"},
        {"z", 28, 3, 3, "I ran out of store reading hip: np=7=0x00000007"},
        {"v", 20, 2, 2, "I ran out of store reading hip: nt=5=0x00000005"},
    };
    for (const auto& k : cases) {
        watchHeap(k.size, k.refuse);
        const Converted c = convertBytes(file);
        const int asked = heap.seen;
        watchHeap(0);
        EXPECT_EQ(c.outcome, RunOutcome::failed) << k.what;
        EXPECT_EQ(asked, k.asked) << k.what << ": arrays asked for before the test";
        ASSERT_EQ(c.notices.size(), 2u) << k.what;
        EXPECT_EQ(c.notices[0].text, no_memory) << k.what;
        EXPECT_EQ(c.notices[0].caption, "farmalloc") << k.what;
        EXPECT_EQ(c.notices[0].style, notice_warning) << k.what;
        EXPECT_EQ(c.notices[1].text, k.message) << k.what;
        EXPECT_EQ(c.notices[1].caption, c.in) << k.what;
        EXPECT_EQ(c.obj, first_text + "g hip\r\n") << k.what;
    }
    // The same file with nothing refused.
    EXPECT_EQ(convertBytes(file).outcome, RunOutcome::finished);
}

TEST(Heap, NothingAskedForACountAtTheEndOfTheFile) {
    // The file ends right after the count, whose data cannot follow: no
    // block is asked for it, however large. Or it ends two bytes into the
    // count, whose value would be negative: the end of the file comes first.
    const int32_t count = 1000003;
    const struct {
        const char* name;
        size_t size;
    } counts[] = {{"np", 4}, {"nq", 4}, {"nf", 18}, {"nt", 4}, {"nq2", 4}, {"nf2", 8}, {"nm", 40}};
    for (const auto& k : counts) {
        Bytes after = hipUpTo(k.name), inside = after;
        putI32(after, count);
        putFill(inside, 2, 0xFF);
        for (const Bytes* file : {&after, &inside}) {
            const std::string what = std::string(k.name) + (file == &after ? " complete" : " cut");
            watchHeap(size_t(count) * k.size);
            const Converted c = convertBytes(*file);
            const int asked = heap.seen;
            watchHeap(0);
            EXPECT_EQ(asked, 0) << what;
            EXPECT_EQ(c.outcome, RunOutcome::failed) << what;
            ASSERT_EQ(c.notices.size(), 1u) << what;
            EXPECT_EQ(c.notices[0].text, "end of file") << what;
            EXPECT_EQ(c.obj, first_text + "g hip\r\n") << what;
        }
    }
}

}  // namespace
