// Runs at the edge of the machine: an output that may not grow past a size
// limit. (Inputs whose size cannot be known beforehand: test_input.cpp.)
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "convert/format/notice.h"
#include "convert/format/texts.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

const std::string finished = obj_texts.finished;
const std::string too_large = std::string(obj_texts.writeFailed) + "File too large";

void pack(std::string& to, const std::string& s) { to += std::to_string(s.size()) + ":" + s; }

std::string unpack(const std::string& from, size_t& at) {
    const size_t colon = from.find(':', at);
    const size_t n = std::stoul(from.substr(at, colon - at));
    at = colon + 1 + n;
    return from.substr(colon + 1, n);
}

// Converts rsr in a child process whose files may not grow past `limit`
// bytes. SIGXFSZ is ignored there, so that a write past the limit fails
// with EFBIG rather than ending the process.
Converted convertLimited(const Bytes& rsr, rlim_t limit) {
    Converted c;
    c.in = tempPath(".rsr");
    c.out = tempPath(".obj");
    writeFile(c.in, rsr);
    int fds[2];
    if (pipe(fds) != 0) return c;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const rlimit fsize{limit, limit};
        setrlimit(RLIMIT_FSIZE, &fsize);
        std::signal(SIGXFSZ, SIG_IGN);
        const Converted run = convertPaths(c.in, c.out, 0, 0);
        std::string report;
        pack(report, std::to_string(int(run.outcome)));
        for (const Shown& s : run.notices) {
            pack(report, s.text);
            pack(report, s.caption);
            pack(report, std::to_string(s.style));
            pack(report, s.on_disk);
        }
        for (size_t at = 0; at < report.size();) {
            const ssize_t n = write(fds[1], report.data() + at, report.size() - at);
            if (n <= 0) _exit(1);
            at += size_t(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    char buf[65536];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) report.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    c.outcome = RunOutcome(-1);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !report.empty()) {
        size_t at = 0;
        c.outcome = RunOutcome(std::stoi(unpack(report, at)));
        while (at < report.size()) {
            Shown s;
            s.text = unpack(report, at);
            s.caption = unpack(report, at);
            s.style = unsigned(std::stoul(unpack(report, at)));
            s.on_disk = unpack(report, at);
            c.notices.push_back(s);
        }
    }
    c.obj = readFile(c.out);
    std::remove(c.in.c_str());
    std::remove(c.out.c_str());
    return c;
}

struct Seen {
    std::string text;
    bool outCaption;  // captioned with the output path, else with the input path
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

TEST(FileSizeLimit, StopsTheWritingAnywhere) {
    const Bytes file = buildRsr({first(), hip()});
    const std::string whole = convertBytes(file).obj;
    const size_t body = whole.find("# File generated");
    const size_t group1 = first_text.size();
    ASSERT_EQ(whole.compare(0, group1, first_text), 0);
    const struct {
        const char* what;
        size_t limit;
    } cases[] = {
        {"nothing fits", 0},
        {"at the end of the first group", group1},
        {"in the middle of the second group", group1 + 20},
        {"one byte short of the groups", body - 1},
        {"exactly the groups, not the closing comments", body},
        {"inside the closing comments", body + 30},
        {"one byte short of the whole", whole.size() - 1},
        {"the whole", whole.size()},
    };
    for (const auto& k : cases) {
        const Converted c = convertLimited(file, k.limit);
        const std::string kept = whole.substr(0, k.limit);
        EXPECT_EQ(c.obj, kept) << k.what;
        if (k.limit == whole.size()) {
            EXPECT_EQ(c.outcome, RunOutcome::finished) << k.what;
            expectNotices(c, {{finished, true, notice_plain, whole.substr(0, body)}}, k.what);
        } else if (k.limit >= body) {
            // The groups are on disk when "Finished" is shown; the closing
            // comments that follow it are refused.
            EXPECT_EQ(c.outcome, RunOutcome::failed) << k.what;
            expectNotices(c, {{finished, true, notice_plain, whole.substr(0, body)},
                              {too_large, true, notice_warning, kept}}, k.what);
        } else {
            EXPECT_EQ(c.outcome, RunOutcome::failed) << k.what;
            expectNotices(c, {{too_large, true, notice_warning, kept}}, k.what);
        }
    }
}

TEST(FileSizeLimit, AWriteFailureThenAnotherFailure) {
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
        const Converted c = convertLimited(k.file, k.limit);
        EXPECT_EQ(c.outcome, RunOutcome::failed) << k.what;
        expectNotices(c, {{too_large, true, notice_warning, kept}}, k.what);
        EXPECT_EQ(c.obj, kept) << k.what;
    }
}

}  // namespace
