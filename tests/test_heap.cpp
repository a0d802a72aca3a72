// The run against a heap that says no. This program is linked with
// -Wl,--wrap=malloc and -Wl,--wrap=realloc, so that every request of the
// converter comes here first: a test can refuse one chosen request and count
// the requests of one size.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "convert/batch/batch_run.h"
#include "convert/format/notice.h"
#include "convert/format/texts.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

extern "C" void* __real_malloc(size_t n);
extern "C" void* __real_realloc(void* p, size_t n);

namespace {

// Requests of at least `size` bytes for held memory, which grows by
// realloc, are counted (0: none).
struct {
    size_t size = 0;
    int seen = 0;
} heap;

void watchHeap(size_t size) { heap = {size, 0}; }
void count(size_t n) { heap.seen += heap.size && n >= heap.size; }

// The memory a run keeps for the groups it reads grows by realloc: the
// chosen one of those requests gets nothing.
struct {
    int seen = 0;
    int refuse = 0;
} growth;

// The input that the first request of at least this size, for held memory
// or a mapping of the file, cuts to nothing, as another program would while
// the run reads it.
struct {
    size_t size = 0;
    std::string path;
    std::atomic<bool> armed{false};
} cut;

}  // namespace

extern "C" void* __wrap_malloc(size_t n) {
    return __real_malloc(n);
}

extern "C" void* __real_mmap(void* at, size_t n, int prot, int flags, int fd, off_t offset);

extern "C" void* __wrap_mmap(void* at, size_t n, int prot, int flags, int fd, off_t offset) {
    void* m = __real_mmap(at, n, prot, flags, fd, offset);
    if (fd >= 0 && n >= cut.size && cut.armed.exchange(false)) {
        EXPECT_EQ(truncate(cut.path.c_str(), 0), 0);
    }
    return m;
}

extern "C" void* __wrap_realloc(void* p, size_t n) {
    count(n);
    if (n >= cut.size && cut.armed.exchange(false)) {
        EXPECT_EQ(truncate(cut.path.c_str(), 0), 0);
    }
    if (growth.refuse && ++growth.seen == growth.refuse) return nullptr;
    return __real_realloc(p, n);
}

namespace {

TEST(Heap, GroupMemoryRefusedForOneArray) {
    // A group's arrays are held in memory that grows as they are read. When
    // it cannot grow for the points, the three arrays they stand for are
    // each told; for any later array, once. The file on disk then holds the
    // groups before, and the group's "g" line follows the notices.
    GroupSpec hip{.name = "hip", .xyz = std::vector<float>(3000, 1.0f), .pf = {0, 1, 2}, .faces = {{0, 3, 0}},
                  .texq = true, .uv = std::vector<float>(10000, 0.5f), .pt = {0, 1, 2}, .faces2 = {{0, 3}},
                  .mats = {"m"}};
    const Bytes file = buildRsr({first(), hip});
    const struct {
        const char* what;
        int refuse, farmalloc;
        std::string message;
    } cases[] = {
        {"points", 5, 3, "I ran out of store reading hip: np=1000=0x000003e8"},
        {"texture vertices", 7, 1, "I ran out of store reading hip: nt=5000=0x00001388"},
    };
    for (const auto& k : cases) {
        growth = {0, k.refuse};
        const Converted c = convertBytes(file);
        growth = {};
        std::vector<Expected> notices(size_t(k.farmalloc), {memory_texts.text, memory_texts.caption, notice_warning, first_text});
        notices.push_back({k.message, "in", notice_warning, first_text});
        expectRun(c, RunOutcome::failed, notices, first_text + "g hip\r\n", k.what);
    }
    EXPECT_EQ(convertBytes(file).outcome, RunOutcome::finished);
}

TEST(Heap, NothingAskedForACountAtTheEndOfTheFile) {
    // The file ends right after the count, whose data cannot follow: no
    // block is asked for it, however large. Or it ends two bytes into the
    // count, whose value would be negative: the end of the file comes first.
    // Nothing else the run asks for is as large as the count's data.
    const int32_t claimed = 3000017;
    for (const char* name : {"np", "nq", "nf", "nt", "nq2", "nf2", "nm"}) {
        Bytes after = hipUpTo(name), inside = after;
        putI32(after, claimed);
        putFill(inside, 2, 0xFF);
        for (const Bytes* file : {&after, &inside}) {
            const std::string what = std::string(name) + (file == &after ? " complete" : " cut");
            watchHeap(size_t(claimed));
            const Converted c = convertBytes(*file);
            const int asked = heap.seen;
            watchHeap(0);
            EXPECT_EQ(asked, 0) << what;
            expectRun(c, RunOutcome::failed, {{end_of_file_text, "in", notice_warning, first_text}}, first_text + "g hip\r\n",
                      what);
        }
    }
    // The first array of a file, for which held memory would be asked
    // however small its data.
    Bytes alone = hipUpTo("np");
    alone.erase(alone.begin() + long(header_size), alone.begin() + long(afterFirst().size()));  // no first group
    putI32(alone, 1000);
    watchHeap(1000);
    EXPECT_EQ(convertBytes(alone).notices.at(0).text, end_of_file_text);
    EXPECT_EQ(heap.seen, 0);
    watchHeap(0);
}

// A file cut short while a batch converts it on two threads fails alone,
// as any failure: its output keeps what was written, under its own name,
// and the notice tells that the file became shorter. Cut while its points
// are read, the next read meets the end; cut once its material names are
// mapped, the pages the writer reads fault.
TEST(Heap, AFileCutShortInABatchFailsAlone) {
    namespace fs = std::filesystem;
    GroupSpec read{.name = "hip", .xyz = std::vector<float>(3 * 5000, 1.0f), .texq = true,
                   .uv = std::vector<float>(2 * 7000, 0.5f)};
    GroupSpec mapped{.name = "hip", .xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0}, .pf = {0, 1, 2}, .faces = {{0, 3, 1999}}};
    for (int m = 0; m < 2000; ++m) mapped.mats.push_back(std::to_string(m));
    const struct {
        const char* what;
        GroupSpec hip;
        size_t size;  // the points' held memory, or the names' mapping: no other file asks as much
        std::string obj;
    } cases[] = {
        {"read", read, 5000 * 12, first_text + "g hip\r\n"},
        {"mapped", mapped, 2000 * 40, first_text},  // nothing made from the lost pages reaches the output
    };
    for (const auto& k : cases) {
        const fs::path d = tempPath(".d");
        fs::create_directories(d);
        for (const char* name : {"m1.rsr", "m3.rsr", "m4.rsr"}) writeFile((d / name).string(), buildRsr({first()}));
        cut.path = (d / "m2.rsr").string();
        writeFile(cut.path, buildRsr({first(), k.hip}));
        cut.size = k.size;
        cut.armed = true;
        std::string failure;  // the notices of the file that failed
        BatchRun run{.jobs = 2, .done = [](void* ctx, const BatchItem&, const FileReport& r) {
            if (r.outcome == FileOutcome::failed)
                for (const NoticeLine& n : r.notices) *static_cast<std::string*>(ctx) += n.text;
        }, .ctx = &failure};
        const BatchTotals t = runBatch(planBatch({d.string()}, {}), run);
        EXPECT_FALSE(cut.armed) << k.what;
        EXPECT_EQ(t.converted, 3) << k.what;
        EXPECT_EQ(t.failed, 1) << k.what;
        EXPECT_EQ(failure, ended_early_text) << k.what;
        EXPECT_EQ(readFile((d / "m2.obj").string()), k.obj) << k.what;
        for (const auto& e : fs::directory_iterator(d)) EXPECT_EQ(e.path().string().find(".part-"), std::string::npos);
        fs::remove_all(d);
    }
}

}  // namespace
