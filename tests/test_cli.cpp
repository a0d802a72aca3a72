// The console program as a user runs it, its input cut short while it
// reads. (Its exit statuses and lines: test_batch.cpp.)
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/cli_run.h"

using namespace quarlen;

namespace {

// Another process cuts the input short while it converts. The first bytes
// on the pipe come when the run drains its first full buffer, early in the
// first group's points, long before it reads the second group.
TEST(Cli, AnInputCutShortWhileReadFailsWithANotice) {
    const std::string in = tempPath(".rsr"), err = tempPath(".stderr");
    writeFile(in, buildRsr(std::vector<GroupSpec>(2, GroupSpec{.name = "g", .xyz = std::vector<float>(600000, 1.5f)})));
    FILE* p = popen((QUARLEN_CLI " " + quoted(in) + " - 2>" + quoted(err)).c_str(), "r");
    ASSERT_NE(std::fgetc(p), EOF);
    ASSERT_EQ(truncate(in.c_str(), 0), 0);
    while (std::fgetc(p) != EOF) {}
    const int raw = pclose(p);
    ASSERT_TRUE(WIFEXITED(raw)) << "signal " << WTERMSIG(raw);
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(readFile(err), in + ": warning: end of file: the file became shorter while it was read\n");
    std::remove(in.c_str());
    std::remove(err.c_str());
}

}  // namespace
