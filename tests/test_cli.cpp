// The console program as a user runs it: exit statuses and the lines it
// prints on standard error.
#include <gtest/gtest.h>
#include <unistd.h>

#include "convert/format/rsr.h"
#include "tests/cli_run.h"

using namespace quarlen;

namespace {

// Written out rather than taken from convert/format/texts.h: the lines the
// user reads are pinned here, byte for byte, once.
const std::string finished =
    "Finished. If Bryce refuses to read this .OBJ file, use a text editor to move to the start "
    "of the file the 3 comment lines starting with `#' that you will find at the end of the file.";

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

TEST(Cli, StatusAndLines) {
    const std::string in = tempPath(".RSR"), cut = tempPath(".rsr"), bad = tempPath(".rsr"), out = tempPath(".Obj");
    const GroupSpec g{.name = "a", .xyz = {1, 2, 3}, .pf = {0}, .faces = {{0, 1, 0}}};
    writeFile(in, buildRsr({g}));
    Bytes b = buildRsr({g});
    b.resize(b.size() - trailer_size - 4);  // the end marker and the trailer
    writeFile(cut, b);
    b.resize(header_size);
    putI32(b, 999);
    writeFile(bad, b);
    const std::string missing = tempPath("-missing.rsr");
    struct Case {
        std::string args;
        int status;
        std::string err;  // "" when the usage is shown
    } cases[] = {
        {quoted(cut) + " " + quoted(out), 1, cut + ": warning: end of file\n"},
        {quoted(bad) + " " + quoted(out), 1,
         bad + ": warning: # of chars in group name out of range: 999\n" + bad +
             ": warning: This may be a \"short RSR\" file that contains only a library thumbnail graphic image. "
             "I can't handle those.\n"},
        {quoted(in) + " " + quoted(out), 0, out + ": " + finished + "\n"},
        {"", 2, ""},
        {"model.rsrx out.obj", 2, "warning: bad filename\n"},
        {"rsr out.obj", 2, "warning: bad filename\n"},
        {quoted(missing) + " out.obj", 1, missing + ": cannot open the input: No such file or directory\n"},
        {quoted(in) + " /nonexistent-folder/out.obj", 1,
         "/nonexistent-folder/out.obj: cannot create the output: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const Ran r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err) << c.args;
        } else {
            EXPECT_NE(r.err.find("usage: quarlen"), std::string::npos) << c.args;
        }
    }
    EXPECT_EQ(readFile(out).substr(0, 24), "g a\r\nv 1 2 3\r\nf 1\r\n# Fil");
    for (const std::string& f : {in, cut, bad, out}) std::remove(f.c_str());
}

}  // namespace
