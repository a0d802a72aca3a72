// Writes the input files of the Wine suite into a folder, with the
// project's RSR builder, and prints three paths, one a line: the folder with
// a long name, the input under folders with accented and CJK names, and the
// input whose Windows path (Z:\...) has 250 characters, most of them CJK.
//
// usage: make_inputs DIR   (built and run on Linux by run.sh)
#include <sys/stat.h>

#include <cstdio>
#include <limits>
#include <string>

#include "tests/rsr_builder.h"

using namespace quarlen;

// UTF-16 units of a UTF-8 text: what a Windows path length counts.
static size_t utf16Length(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80 ? (c >= 0xF0 ? 2 : 1) : 0;
    return n;
}

// n CJK characters of 3 UTF-8 bytes each.
static std::string cjk(size_t n)
{
    static const char* const glyphs[] = {"日", "本", "語", "の", "パ", "ス", "長", "い"};
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += glyphs[i % 8];
    return s;
}

// Folders of 80 CJK characters under dir, and a file name that makes the
// Windows path of the file exactly 'total' characters long; empty when dir
// itself is too long for that.
static std::string deepPath(const std::string& dir, size_t total)
{
    size_t fixed = 2 + utf16Length(dir) + 1 + 4;  // Z:, dir, separator, .rsr
    if (fixed + 1 > total)
        return "";
    size_t left = total - fixed;
    std::string path = dir + "/";
    while (left > 81) {
        path += cjk(80) + "/";
        mkdir(path.c_str(), 0755);
        left -= 81;
    }
    return path + cjk(left) + ".rsr";
}

static bool write(const std::string& path, const Bytes& b)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

// Three groups: textures with fewer texture facets than facets, materials
// that change and one out of range, odd float values and an LF in a name.
static std::vector<GroupSpec> model()
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    GroupSpec body;
    body.name = "body";
    body.xyz = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 0.5f, 1.25e-5f, -123456.7f, 3e7f, -0.1f};
    body.pf = {0, 1, 2, 0, 2, 3, 2, 3, 4, 5};
    body.faces = {{0, 3, 0}, {3, 3, 0}, {6, 4, 1}, {2, 3, -1}};
    body.texq = true;
    body.uv = {0, 0, 1, 0, 1, 1, 0, 1};
    body.pt = {0, 1, 2, 0, 2, 3};
    body.faces2 = {{0, 3}, {3, 2}};
    body.mats = {"skin", "cloth\nred"};

    GroupSpec hip;
    hip.name = "hip";
    hip.xyz = {inf, -inf, nan, -nan, 2.5f, -1};
    hip.pf = {0, 1, 1};
    hip.faces = {{0, 3, 0}, {0, 0, 0}};
    hip.mats = {"skin"};

    GroupSpec hand;
    hand.name = std::string("hand\0junk", 9);
    hand.xyz = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    hand.pf = {2, 1, 0};
    hand.faces = {{0, 3, 1}};
    hand.texq = true;
    hand.uv = {0.25f, 0.75f, 0.5f, 0.5f, 1, 1};
    hand.pt = {2, 1, 0};
    hand.faces2 = {{0, 3}};
    hand.mats = {"skin", std::string(40, 'm')};
    return {body, hip, hand};
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_inputs DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::string longdir = dir + "/" + std::string("a folder with a long name, ") +
                                std::string(100, 'x');
    for (const std::string& d : {dir, dir + "/out", dir + "/expected", longdir})
        mkdir(d.c_str(), 0755);

    const Bytes good = buildRsr(model());
    bool ok = true;
    for (const char* name : {"good.rsr", "Mixed.Rsr", "gone.rsr", "model.rsrx", "model.txt", "rsr"})
        ok &= write(dir + "/" + name, good);
    ok &= write(longdir + "/long.rsr", good);

    const std::string unicodeDir = dir + "/été/日本";
    mkdir((dir + "/été").c_str(), 0755);
    mkdir(unicodeDir.c_str(), 0755);
    const std::string unicodeIn = unicodeDir + "/modèle 東京.rsr";
    ok &= write(unicodeIn, good);
    const std::string deepIn = deepPath(dir, 250);
    ok &= !deepIn.empty() && write(deepIn, good);

    Bytes b;  // a name length of 300 where the first group should start
    putHeader(b);
    putI32(b, 300);
    putTrailer(b);
    ok &= write(dir + "/range.rsr", b);

    b.clear();  // one complete group, then a name length of -1
    putHeader(b);
    putGroup(b, model()[0]);
    putI32(b, -1);
    ok &= write(dir + "/junk.rsr", b);

    b = good;  // ends in the middle of the first group's points
    b.resize(quarlen::header_size + 4 + 4 + 4 + 4 * 7);
    ok &= write(dir + "/eof.rsr", b);

    GroupSpec g;  // a facet whose corners run past the 4 entries of the index list
    g.name = "arm";
    g.xyz = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    g.pf = {0, 1, 2, 3};
    g.faces = {{0, 3, 0}, {2, 3, 0}};
    ok &= write(dir + "/badvalue.rsr", buildRsr({g}));
    g.faces = {{0, 4, 0}};  // the same square, whole, in its material's colour
    g.mats = {"skin"};
    ok &= write(dir + "/square.rsr", buildRsr({g}));

    b.clear();  // group hip with a vertex index list of -5 entries
    putHeader(b);
    putI32(b, 3);
    putRaw(b, "hip");
    putI32(b, 1);
    putF32(b, 1);
    putF32(b, 2);
    putF32(b, 3);
    putI32(b, -5);
    putTrailer(b);
    ok &= write(dir + "/negcount.rsr", b);

    // An output that another program holds open while the conversion runs.
    const Bytes keep = {'k', 'e', 'e', 'p', '\n'};
    ok &= write(dir + "/out/locked.obj", keep) && write(dir + "/expected/locked.obj", keep);

    if (!ok) {
        std::fprintf(stderr, "make_inputs: cannot write the files into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s\n%s\n%s\n", longdir.c_str(), unicodeIn.c_str(), deepIn.c_str());
    return 0;
}
