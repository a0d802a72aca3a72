// quarlen_reader_survey [COUNT]: what tinyobjloader, a reader written
// elsewhere, says of the output for the odd models of the reader tests
// (tests/model_gen.h), untreated and with --clean --mtl --triangulate.
// It prints figures and checks nothing: the tests check that the treated
// output is read as the model means it, without a word.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tiny_obj_loader.h>

#include "convert/options/output_options.h"
#include "convert/run/run.h"
#include "tests/model_gen.h"

using namespace quarlen;

namespace {

bool append(void* to, const char* p, size_t n) {
    static_cast<std::string*>(to)->append(p, n);
    return true;
}

void ignore(void*, const char*, const char*, unsigned) {}

// What LoadObj said of the conversion of rsr with options (null: the
// traditional output): its warnings and errors, and whether it took the file.
struct Said {
    bool ok;
    std::string words;
};

Said readBack(const Bytes& rsr, const OutputOptions* options) {
    std::string obj, mtl;
    convertRSR({.input = "in.rsr", .inputBytes = rsr, .output = "out.obj", .sink = {append, &obj},
                .mtlSink = {append, &mtl}, .notices = {ignore, nullptr}, .options = options});
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    std::istringstream objStream(obj), mtlStream(mtl);
    tinyobj::MaterialStreamReader mtlReader(mtlStream);
    const bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &objStream, &mtlReader,
                                     /*triangulate=*/false, /*default_vcols_fallback=*/false);
    return {ok, warn + err};
}

// The reader's complaints with numbers and quoted names taken out.
std::set<std::string> complaintKinds(const std::string& text) {
    std::set<std::string> kinds;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::string k;
        bool quoted = false;
        for (char c : line) {
            if (c == '\'') {
                quoted = !quoted;
                k += quoted ? "'NAME" : "'";
            } else if (!quoted) {
                if (!(c >= '0' && c <= '9')) k += c;
                else if (k.empty() || k.back() != 'N') k += 'N';
            }
        }
        // Some of its messages end in a line of their own with a ".".
        k.erase(0, k.find_first_not_of(". "));
        if (!k.empty()) kinds.insert(k);
    }
    return kinds;
}

// True when the reader names a material it did not find by the part of its
// name before a space: "roof" for "usemtl roof tiles".
bool nameCutAtSpace(const std::string& said, const OddModel& m) {
    for (const GroupSpec& g : m.groups)
        for (const std::string& mat : g.mats)
            if (const size_t space = mat.find(' '); space != std::string::npos && space > 0) {
                std::string quoted(1, '\'');
                quoted.append(mat, 0, space).push_back('\'');
                if (said.find(quoted) != std::string::npos) return true;
            }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    if (argc > 2 || count < 1) {
        std::fputs("usage: quarlen_reader_survey [COUNT]\n", stderr);
        return 2;
    }
    const OutputOptions treated{.clean = true, .mtl = true, .triangulate = true};
    std::map<std::string, int> kinds;
    int quietTreated = 0, quiet = 0, cut = 0;
    for (int seed = 1; seed <= count; ++seed) {
        const OddModel m = oddModel(uint32_t(seed));
        const Bytes rsr = buildRsr(m.groups);
        const Said t = readBack(rsr, &treated);
        quietTreated += t.ok && t.words.empty();
        const Said plain = readBack(rsr, nullptr);
        const std::set<std::string> said = complaintKinds(plain.words);
        quiet += plain.ok && said.empty();
        for (const std::string& k : said) ++kinds[k];
        cut += nameCutAtSpace(plain.words, m);
    }
    std::printf("tinyobjloader, %d odd models: with --clean --mtl --triangulate %d taken without a word; "
                "untreated %d taken without a word, %d with a material name cut at a space\n",
                count, quietTreated, quiet, cut);
    for (const auto& [k, n] : kinds) std::printf("  untreated, %d files: %s\n", n, k.c_str());
    return 0;
}
