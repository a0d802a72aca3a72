// The console program's one-file and batch forms: which form a call takes,
// exit statuses and lines, where outputs go, skipping, clashes, equality
// with the one-file form at any job count, grouped notices and the interrupt.
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "convert/batch/batch_plan.h"
#include "tests/cli_run.h"
#include "tests/model_gen.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace fs = std::filesystem;

namespace {

// A fresh folder for one case.
fs::path freshDir() {
    const fs::path d = tempPath(".d");
    fs::create_directories(d);
    return d;
}

void put(const fs::path& p, const Bytes& b) {
    fs::create_directories(p.parent_path());
    writeFile(p.string(), b);
}

Bytes model(uint32_t seed) { return buildRsr(randomModel(seed, ModelOptions{})); }

// Written out rather than taken from convert/format/texts.h: the lines the
// user reads are pinned here, byte for byte, once.
const std::string finished =
    "Finished. If Bryce refuses to read this .OBJ file, use a text editor to move to the start "
    "of the file the 3 comment lines starting with `#' that you will find at the end of the file.";

// Every regular file below d, as paths relative to it.
std::set<std::string> filesBelow(const fs::path& d) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(d))
        if (e.is_regular_file()) names.insert(e.path().lexically_relative(d).string());
    return names;
}

// What the one-file form writes for in, and the lines it prints, when its
// output is named out.
struct OneFile {
    std::string obj, err;
};
OneFile oneFile(const fs::path& in, const fs::path& out) {
    fs::create_directories(out.parent_path());
    const Ran r = run(quoted(in.string()) + " " + quoted(out.string()));
    OneFile o{readFile(out.string()), r.err};
    fs::remove(out);
    return o;
}

// The batch prints a failure's notices, -v's lines and the summary unless
// -q; files end in path order with -j1; an output that exists is kept unless -f.
TEST(Batch, ChoosesTheFormAndRefusesBadCalls) {
    struct Case {
        std::string args;  // run in the case's folder, which holds the files put below
        int status;
        std::set<std::string> made;  // files that are new or changed afterwards
        std::string out;             // standard output; its beginning when this ends in a space
        std::string err = "";        // standard error when given, the summary's time as T; likewise
    };
    const Bytes a = model(1);
    Bytes bad;
    putHeader(bad);
    putI32(bad, 999);  // a name length out of range
    Bytes noMemory = hipUpTo("nt");
    putI32(noMemory, -1);
    const std::string failure = "d.rsr: warning: I can't get enough memory\n"
                                "d.rsr: warning: I ran out of store reading hip: nt=-1=0xffffffff\n";
    const std::string usage = "\nusage: quarlen ", positive = "quarlen: --scale needs a positive finite number, not ";
    const std::string batchOnly = "quarlen: -r, -o, -f, -j, -q and -v apply to the batch form only" + usage;
    const std::string aObj = [&] {
        const fs::path d = freshDir();
        put(d / "a.rsr", a);
        return oneFile(d / "a.rsr", d / "ref.obj").obj;
    }();
    const Case cases[] = {
        {"a.rsr out.obj", 0, {"out.obj"}, "", "out.obj: " + finished + "\n"},
        {"cut.rsr out.obj", 1, {"out.obj"}, "", "cut.rsr: warning: end of file\n"},
        {"bad.rsr out.obj", 1, {"out.obj"}, "",
         "bad.rsr: warning: # of chars in group name out of range: 999\nbad.rsr: warning: This may be a \"short RSR\" "
         "file that contains only a library thumbnail graphic image. I can't handle those.\n"},
        {"model.rsrx out.obj", 2, {}, "", "warning: bad filename\n"},
        {"rsr out.obj", 2, {}, "", "warning: bad filename\n"},
        {"missing.rsr out.obj", 1, {}, "", "missing.rsr: cannot open the input: No such file or directory\n"},
        {"a.rsr /nonexistent-folder/out.obj", 1, {}, "",
         "/nonexistent-folder/out.obj: cannot create the output: No such file or directory\n"},
        {"a.rsr -", 0, {}, aObj},
        {"a.rsr", 0, {"a.obj"}, ""},
        {"-q a.rsr b.rsr", 0, {"a.obj", "b.obj"}, ""},
        {"lib out.obj", 1, {"lib/c.obj"}, ""},          // a folder first: the batch form
        {"a.rsr notes.txt", 1, {"a.obj"}, ""},          // not .obj: the batch form
        {"-j1 -q a.rsr out.obj missing.rsr notes.txt", 1, {"a.obj"}, "",  // out.obj second of four: the batch form
         "out.obj: no such file or folder\nmissing.rsr: no such file or folder\nnotes.txt: not a folder or an .rsr file\n"},
        {"-- -q", 1, {}, ""},                          // an operand named -q
        {"-r a.rsr out.obj", 2, {}, "", batchOnly},    // a batch option in the one-file form
        {"-o x a.rsr out.obj", 2, {}, "", batchOnly}, {"-f a.rsr out.obj", 2, {}, "", batchOnly},
        {"-j2 a.rsr out.obj", 2, {}, "", batchOnly},  {"-v a.rsr out.obj", 2, {}, "", batchOnly},
        {"", 2, {}, ""},
        {"--bogus a.rsr", 2, {}, ""},
        {"-x a.rsr", 2, {}, ""},
        {"-j 0 a.rsr", 2, {}, ""},
        {"--jobs=1024 -j2 -q a.rsr b.rsr", 0, {"a.obj", "b.obj"}, ""},  // the most jobs, then two
        {"--jobs=many a.rsr", 2, {}, ""},
        {"a.rsr -o", 2, {}, ""},
        {"-o '' a.rsr", 2, {}, ""},
        // Output options in both forms, and the report that writes nothing.
        {"--clean --lf a.rsr out.obj", 0, {"out.obj"}, ""},
        {"-q --mtl a.rsr lib", 0, {"a.obj", "a.mtl", "lib/c.obj", "lib/c.mtl"}, ""},
        {"--mtl a.rsr -", 2, {}, ""},
        {"--mtl a.rsr m.obj", 1, {"m.obj"}, "", "m.obj: warning: I can't write the .MTL file: Is a directory\n"},
        {"a.rsr full.obj", 1, {}, "", "full.obj: warning: I can't write the .OBJ file: No space left on device\n"},
        {"--scale 0.0254 a.rsr out.obj", 0, {"out.obj"}, ""},
        {"--scale=100 --weld a.rsr -", 0, {}, "g "},  // --weld may write to a stream
        {"a.rsr --scale", 2, {}, "", "quarlen: --scale needs a number" + usage},
        {"--scale 0 a.rsr", 2, {}, "", positive + "'0'" + usage},
        {"--scale -2 a.rsr", 2, {}, "", positive + "'-2'" + usage},
        {"--scale inf a.rsr", 2, {}, "", positive + "'inf'" + usage},
        {"--scale 2x a.rsr", 2, {}, "", positive + "'2x'" + usage},
        {"--scale= a.rsr", 2, {}, "", positive + "''" + usage},
        {"--welds a.rsr", 2, {}, "", "quarlen: unknown option: --welds" + usage},
        {"--clean=x a.rsr", 2, {}, "", "quarlen: unknown option: --clean=x" + usage},  // a switch takes no value
        {"--info a.rsr lib", 0, {}, "a.rsr: "},
        {"--info --clean a.rsr", 2, {}, ""},
        {"--info a.rsr notes.txt", 1, {}, "a.rsr: "},
        {"--info --scale 1 a.rsr x.glb", 1, {}, "a.rsr: "},  // --scale 1 is no option; x.glb a missing input
        // GLB: implied by the output's name; NAME.glb in the batch form.
        {"a.rsr out.Glb", 0, {"out.Glb"}, "", "out.Glb: Finished.\n"},  // in any case, with the GLB's notice
        {"--glb a.rsr - 2>/dev/null | head -c 4 >h; cat h", 0, {"h"}, "glTF"},  // a pipe is no terminal
        {"--glb --clean --triangulate -q a.rsr lib", 0, {"a.glb", "lib/c.glb"}, ""},
        {"--glb a.rsr out.obj", 2, {}, "", "quarlen: with --glb the output must end in .glb" + usage},
        {"--z-up a.rsr out.glb", 2, {}, "", "quarlen: --mtl, --weld, --z-up, --lf and --exact do not apply to --glb" + usage},
        // Pictures: implied by the name; with --glb, NAME.png beside each
        // NAME.glb, each output made unless it exists, both clashing, and a
        // picture that fails failing its file.
        {"a.rsr out.png", 0, {"out.png"}, "", "out.png: Finished.\n"},
        {"--png --size=1024 'file://localhost@DIR/a%2Ersr' out.png", 0, {"out.png"}, ""},
        {"--png --size 1025 a.rsr out.png", 2, {}, "", "quarlen: --size needs a whole number from 1 to 1024, not '1025'" + usage},
        {"--size 64 a.rsr out.obj", 2, {}, "", "quarlen: --size applies only with --png" + usage},
        {"--glb a.rsr out.png", 2, {}, "", "quarlen: --png with --glb writes two files for each input, which only the batch form does" + usage},
        {"--png --scale 2 a.rsr", 2, {}, "", "quarlen: --clean, --mtl, --weld, --triangulate, --scale, --z-up, --lf and --exact do not apply to --png" + usage},
        {"file://elsewhere/a.rsr out.obj", 2, {}, "", "quarlen: file://elsewhere/a.rsr: names no file of this computer" + usage},
        {"'file:///a%2.rsr' out.obj", 2, {}, ""},
        {"-q --png --glb --scale 2 a.rsr lib", 0, {"a.glb", "a.png", "lib/c.glb", "lib/c.png"}, ""},
        {"-j1 -q -v --png --glb o.rsr p.rsr q.rsr", 0, {"o.glb", "p.png"}, "",
         "o.rsr -> o.glb\np.rsr -> p.png\nq.rsr: skipped: q.glb and q.png exist (-f replaces them)\n"},
        {"-q --png --glb clash", 1, {"clash/a.glb", "clash/a.png"}, "", "clash/a.rsr: has the same output clash/a.glb as clash/a.RSR\n"},
        {"a.rsr same.obj", 1, {}, "", "same.obj: cannot create the output: it is the input file\n"},
        {"-q -f hollow.rsr", 1, {}, "",
         "hollow.rsr: hollow.obj: " + finished + "\nhollow.rsr: hollow.obj: cannot rename the finished output into place: Is a directory\n"},
        {"-q -f --png --glb busy.rsr", 1, {"busy.glb"}, "",
         "busy.rsr: busy.glb: Finished.\nbusy.rsr: busy.png: cannot rename the finished output into place: Is a directory\n"},
        // --help and --version win over any operand; options stand between
        // operands; an empty name is a name, and a wrong one.
        {"--help a.rsr out.obj", 0, {}, "usage: quarlen "},
        {"a.rsr --help", 0, {}, "usage: quarlen "},
        {"a.rsr out.obj --version", 0, {}, "quarlen "},
        {"a.rsr -q b.rsr", 0, {"a.obj", "b.obj"}, ""},
        {"a.rsr out.obj -q", 2, {}, ""},
        {"a.rsr -- -x.rsr", 0, {"a.obj", "-x.obj"}, ""},
        {"'' out.obj", 2, {}, "", "warning: bad filename\n"},
        {"a.rsr ''", 1, {"a.obj"}, ""},
        {"''", 1, {}, ""},
        {"-j1 --clean n.rsr o.rsr d.rsr", 1, {"n.obj", "d.obj"}, "",
         failure + "quarlen: 1 converted, 1 failed, 1 skipped (their outputs exist; -f replaces them) in T\n"},
        {"-j1 -q -v --clean n.rsr o.rsr d.rsr", 1, {"n.obj", "d.obj"}, "",
         "n.rsr -> n.obj\nn.rsr: cleaned: 1 name made safe\no.rsr: skipped: o.obj exists (-f replaces it)\n" + failure},
        {"-r sub", 0, {"sub/e.obj", "sub/deep/f.obj"}, "", "quarlen: 2 converted, 0 failed, 0 skipped in T\n"},
        {"-q -o /dev/null/x a.rsr", 1, {}, "", "a.rsr: /dev/null/x/a.obj: cannot create the folder: Not a directory\n"},
        {"-f o.rsr", 0, {"o.obj"}, "", "quarlen: 1 converted, 0 failed, 0 skipped in T\n"},
        // Names below the output folder; of two inputs with one output, the
        // first converts and the other is told.
        {"-q clash", 1, {"clash/a.obj"}, "", "clash/a.rsr: has the same output clash/a.obj as clash/a.RSR\n"},
        {"-q o.rsr ./o.rsr", 1, {}, "", "./o.rsr: has the same output ./o.obj as o.rsr\n"},  // o.obj exists
        {"-q -r -o out clash lib2 more one/y.rsr", 1, {"out/a.obj", "out/sub/deep/c.obj", "out/x.obj", "out/y.obj"}, "",
         "clash/a.rsr: has the same output out/a.obj as clash/a.RSR\nmore/x.rsr: has the same output out/x.obj as lib2/x.rsr\n"},
    };
    for (const Case& c : cases) {
        const fs::path dir = freshDir();
        put(dir / "a.rsr", a);
        put(dir / "b.rsr", model(2));
        put(dir / "lib/c.rsr", model(3));
        put(dir / "notes.txt", {});
        put(dir / "-x.rsr", a);
        put(dir / "cut.rsr", Bytes(a.begin(), a.end() - trailer_size - 4));  // no end marker
        put(dir / "bad.rsr", bad);
        put(dir / "n.rsr", buildRsr({GroupSpec{.name = "a b"}}));
        put(dir / "o.rsr", model(3));
        put(dir / "o.obj", {});
        put(dir / "o.png", {});
        put(dir / "p.rsr", model(4));
        put(dir / "p.glb", {});
        put(dir / "q.rsr", model(4));
        put(dir / "q.glb", {});
        put(dir / "q.png", {});
        put(dir / "busy.rsr", a);
        put(dir / "busy.png/x", {});  // a folder where the picture would go
        put(dir / "hollow.rsr", a);
        fs::create_directories(dir / "hollow.obj");  // an empty folder where the output would go
        fs::create_symlink("a.rsr", dir / "same.obj");  // an output that is the input
        put(dir / "d.rsr", noMemory);
        put(dir / "sub/e.rsr", model(5));
        put(dir / "sub/deep/f.rsr", model(6));
        put(dir / "clash/a.rsr", model(1));
        put(dir / "clash/a.RSR", model(2));  // the same output as a.rsr
        put(dir / "clash/sub/deep/c.Rsr", model(3));
        put(dir / "clash/skip.txt", model(4));
        put(dir / "lib2/x.rsr", model(5));
        put(dir / "more/x.rsr", bad);  // were it converted, its failure would show
        put(dir / "one/y.rsr", model(7));
        fs::create_directory_symlink(dir / "clash/sub", dir / "clash/link");  // not followed
        fs::create_symlink("/dev/full", dir / "full.obj");  // a disk that is full
        fs::create_directories(dir / "m.mtl");              // a folder where NAME.mtl would go
        std::map<std::string, std::string> before;
        for (const std::string& f : filesBelow(dir)) before[f] = readFile((dir / f).string());
        std::string args = c.args;
        if (const size_t at = args.find("@DIR"); at != args.npos) args.replace(at, 4, dir.string());
        Ran r = run(args, dir.string());
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        std::set<std::string> made;
        for (const std::string& f : filesBelow(dir))
            if (!before.count(f) || before[f] != readFile((dir / f).string())) made.insert(f);
        EXPECT_EQ(made, c.made) << c.args;
        EXPECT_EQ(c.out.ends_with(' ') ? r.out.substr(0, c.out.size()) : r.out, c.out) << c.args;
        if (r.err.ends_with(" MB/s)\n")) r.err.replace(r.err.rfind(" in "), std::string::npos, " in T\n");
        if (!c.err.empty()) {
            EXPECT_EQ(c.err.ends_with(' ') ? r.err.substr(0, c.err.size()) : r.err, c.err) << c.args;
        } else if (c.status == 2) {
            EXPECT_NE(r.err.find("usage: quarlen"), r.err.npos) << c.args;
        }
    }
}

// Files that finish and files that fail in every way, converted at several
// job counts: each output is the one-file form's, and each file's lines come
// out together.
TEST(Batch, OutputsAndNoticesMatchTheOneFileFormAtAnyJobCount) {
    const fs::path d = freshDir();
    std::vector<Bytes> files;
    for (uint32_t seed = 1; seed <= 9; ++seed) files.push_back(model(seed));
    Bytes cut = model(10);
    cut.erase(cut.begin() + ptrdiff_t(cut.size() / 2), cut.end());
    files.push_back(cut);
    Bytes junk = model(11);
    junk.erase(junk.end() - trailer_size - 4, junk.end());  // the end marker and the trailer
    putI32(junk, 999);  // a name length out of range after complete groups: two notices
    files.push_back(junk);
    Bytes shortFile;
    putHeader(shortFile);
    putI32(shortFile, -1);
    files.push_back(shortFile);
    files.push_back(buildRsr({GroupSpec{.name = "g", .xyz = {1, 2, 3}, .pf = {0}, .faces = {{0, 4, 0}}}}));

    std::vector<OneFile> expected;
    for (size_t i = 0; i < files.size(); ++i) {
        const fs::path in = d / "in" / (std::to_string(i) + ".rsr");
        put(in, files[i]);
        expected.push_back(oneFile(in, d / "ref" / (std::to_string(i) + ".obj")));
    }
    for (int jobs : {1, 2, 5}) {
        // The same output names as the references, so that captions match too.
        fs::remove_all(d / "ref");
        const Ran r = run("-q -j" + std::to_string(jobs) + " -o " + quoted((d / "ref").string()) + " " +
                          quoted((d / "in").string()));
        EXPECT_EQ(r.status, 1) << jobs;
        size_t lines = 0;
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string out = (d / "ref" / (std::to_string(i) + ".obj")).string();
            EXPECT_EQ(readFile(out), expected[i].obj) << "file " << i << " -j" << jobs;
            if (expected[i].err.find("Finished.") != std::string::npos) continue;  // a success prints nothing
            EXPECT_NE(r.err.find(expected[i].err), std::string::npos) << "file " << i << " -j" << jobs << "\n" << r.err;
            lines += size_t(std::count(expected[i].err.begin(), expected[i].err.end(), '\n'));
        }
        EXPECT_EQ(size_t(std::count(r.err.begin(), r.err.end(), '\n')), lines) << r.err;
        EXPECT_EQ(filesBelow(d / "ref").size(), files.size()) << "no temporary file is left";
    }
}

// A folder that cannot be read, given or below one, is told in place of its
// files, and a link to no file is taken (to fail when opened); the rest is
// taken. Root reads any folder: the plan is made in a child that runs as
// nobody, outside the tests' folder, which only its owner may enter.
TEST(Batch, WhatCannotBeReadIsTold) {
    const fs::path top = fs::temp_directory_path() / ("quarlen-unread-" + std::to_string(getpid()));
    for (const char* f : {"a.rsr", "locked/b.rsr", "open/c.rsr"}) put(top / f, model(1));
    fs::create_symlink("gone", top / "open/gone.rsr");
    fs::permissions(top / "locked", fs::perms::none);
    const std::string t = top.string(), locked = t + "/locked|cannot read the folder\n";
    const std::string want = locked + t + "/a.rsr|\n" + t + "/open/c.rsr|\n" + t + "/open/gone.rsr|\n" + locked;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        std::string plan;
        for (const BatchItem& item : planBatch({t, t + "/locked"}, {.recursive = true})) plan += item.in + "|" + item.problem + "\n";
        std::fputs(plan == want ? "" : plan.c_str(), stderr);
        _exit(plan == want ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    fs::permissions(top / "locked", fs::perms::owner_all);
    fs::remove_all(top);
    EXPECT_EQ(status, 0);
}

// An output the system takes only in part (a file size limit here, as a
// full disk does) is not put in place, so that the same command run again
// makes it, as the one-file form would.
TEST(Batch, AnOutputRefusedInPartIsMadeAgainByTheNextRun) {
    const fs::path d = freshDir();
    put(d / "a.rsr", model(1));
    for (const std::string kind : {"", "--glb "}) {
        const std::string limited = "cd " + quoted(d.string()) + " && (ulimit -f 1; trap '' XFSZ; exec " QUARLEN_CLI " -q " + kind + "a.rsr) 2>/dev/null";
        EXPECT_EQ(WEXITSTATUS(std::system(limited.c_str())), 1) << kind;
        EXPECT_EQ(filesBelow(d), std::set<std::string>{"a.rsr"}) << kind;
        EXPECT_EQ(run("-q " + kind + "a.rsr", d.string()).status, 0) << kind;
        const fs::path out = d / (kind.empty() ? "a.obj" : "a.glb");
        EXPECT_EQ(readFile(out.string()), oneFile(d / "a.rsr", d / ("ref" + out.extension().string())).obj) << kind;
        fs::remove(out);
    }
}

// A picture beside each GLB, from the same run, is the one-file form's
// picture, and the GLB the one-file form's GLB; so is a picture drawn alone
// where the GLB exists.
TEST(Batch, PicturesBesideOutputsMatchTheOneFileForm) {
    const fs::path d = freshDir();
    put(d / "in/a.rsr", model(1));
    put(d / "in/b.rsr", model(2));
    put(d / "out/b.glb", {});
    const Ran r = run("-q --glb --png --size 48 -o " + quoted((d / "out").string()) + " " + quoted((d / "in").string()));
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* name : {"a.glb", "a.png", "b.png"}) {
        const fs::path ref = d / "ref" / name;
        fs::create_directories(ref.parent_path());
        run(std::string(ref.extension() == ".png" ? "--size 48 " : "") +
            quoted((d / "in" / name).replace_extension(".rsr").string()) + " " + quoted(ref.string()));
        EXPECT_EQ(readFile((d / "out" / name).string()), readFile(ref.string())) << name;
    }
}

// A batch stopped by Ctrl-C while a file is in flight, after one that failed:
// status 130 all the same. The input is a pipe that the test feeds, so the
// moment is certain.
TEST(Batch, InterruptLeavesNoPartialOutputAndARerunCompletes) {
    const fs::path d = freshDir();
    const fs::path pipe = d / "a.rsr";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (uint32_t seed = 1; seed <= 3; ++seed) put(d / "lib" / (std::to_string(seed) + ".rsr"), model(seed));
    const std::vector<GroupSpec> groups = randomModel(9, ModelOptions{.groups = 4});
    Bytes first;
    putHeader(first);
    putGroup(first, groups[0]);
    Bytes rest;
    for (size_t g = 1; g < groups.size(); ++g) putGroup(rest, groups[g]);
    putEndMarker(rest);
    putTrailer(rest);

    const std::string err = tempPath(".stderr");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        execl(QUARLEN_CLI, QUARLEN_CLI, "-j1", (d / "none.rsr").c_str(), pipe.c_str(), (d / "lib").c_str(), nullptr);
        _exit(127);
    }
    const int fd = open(pipe.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, first.data(), first.size()), ssize_t(first.size()));
    kill(child, SIGINT);
    // The rest arrives after the signal, so the run sees the stop between groups.
    ASSERT_EQ(write(fd, rest.data(), rest.size()), ssize_t(rest.size()));
    close(fd);
    int raw = 0;
    waitpid(child, &raw, 0);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_NE(readFile(err).find("quarlen: 0 converted, 1 failed, 0 skipped"), std::string::npos) << readFile(err);
    EXPECT_EQ(filesBelow(d), (std::set<std::string>{"lib/1.rsr", "lib/2.rsr", "lib/3.rsr"}));  // and the pipe

    // The same command again, the pipe now a file with the same bytes.
    fs::remove(pipe);
    Bytes whole = first;
    whole.insert(whole.end(), rest.begin(), rest.end());
    put(pipe, whole);
    const Ran r = run("-j1 " + quoted(pipe.string()) + " " + quoted((d / "lib").string()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("quarlen: 4 converted, 0 failed, 0 skipped"), std::string::npos) << r.err;
    EXPECT_EQ(readFile((d / "a.obj").string()), oneFile(pipe, d / "ref.obj").obj);
    std::remove(err.c_str());
}

}  // namespace
