// Properties that hold for every input, each checked over a generated family
// of files: one outcome per run, cut files never finish, bytes after the end
// marker change nothing, and mutated files end with the notices their bytes
// call for, with any output option.
#include <algorithm>
#include <gtest/gtest.h>

#include "convert/format/rsr.h"
#include "convert/format/texts.h"
#include "tests/model_gen.h"
#include "tests/outcome_rule.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

testing::AssertionResult oneOutcome(const Converted& c) {
    std::vector<SeenNotice> seen;
    for (const Shown& s : c.notices) seen.push_back({s.text, s.caption, s.style});
    const std::string v = oneOutcomeViolation(c.outcome, seen, c.in, c.out);
    if (v.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << v;
}

// Models of every kind the generator makes: textured and plain groups, many
// groups, empty groups, large facets.
std::vector<std::vector<GroupSpec>> models() {
    std::vector<std::vector<GroupSpec>> m;
    m.push_back(randomModel(1, ModelOptions{}));
    m.push_back(randomModel(2, ModelOptions{.groups = 12, .maxPoints = 5, .maxFacets = 3, .maxCorners = 4}));
    m.push_back(randomModel(3, ModelOptions{.groups = 5, .emptyGroups = true}));
    m.push_back(randomModel(4, ModelOptions{.groups = 3, .maxPoints = 16, .maxFacets = 4, .maxCorners = 12,
                                            .materials = 6}));
    m.push_back(randomModel(5, ModelOptions{.groups = 6, .texture = false, .emptyGroups = true}));
    // Two materials and texture data, a group with no fields set between.
    GroupSpec tex{.name = "tex", .xyz = first().xyz, .pf = {0, 1, 2}, .faces = {{0, 3, 0}}, .texq = true,
                  .uv = {0, 0, 1, 1, 0.5f, 0.5f}, .pt = {0, 1, 2}, .faces2 = {{0, 3}}, .mats = {"a", "b"}};
    m.push_back({first(), tex, GroupSpec{.name = "empty"}, first()});
    return m;
}

TEST(Properties, NoFileCutBeforeItsEndMarkerFinishesAndNoByteAfterItCounts) {
    // A file cut anywhere fails at the end of the file, having written the
    // groups read whole, then the "g" line of one whose name was read. Bytes
    // after the end marker change nothing.
    Dice d(7);
    for (const auto& model : models()) {
        const Bytes whole = buildRsr(model);
        const Converted finished = convertBytes(whole);  // the family the other properties break is whole
        ASSERT_EQ(finished.outcome, RunOutcome::finished);
        ASSERT_TRUE(oneOutcome(finished));
        const std::string& full = finished.obj;
        std::vector<size_t> textAt;  // where each group's text starts, then the closing comments
        for (size_t at = 0; at < full.size(); at = full.find('\n', at) + 1)
            if (full.compare(at, 2, "g ") == 0 || full.compare(at, 2, "# ") == 0) textAt.push_back(at);
        std::vector<size_t> nameEnd, end;  // in the file
        for (size_t at = header_size; const GroupSpec& g : model) {
            Bytes b;
            putGroup(b, g);
            nameEnd.push_back(at + 4 + g.name.size());
            end.push_back(at += b.size());
        }
        const size_t marker = whole.size() - trailer_size - 4;
        for (size_t cut = 0; cut < marker + 4; ++cut) {
            const Converted c = convertBytes(Bytes(whole.begin(), whole.begin() + long(cut)));
            ASSERT_EQ(c.outcome, RunOutcome::failed) << "cut at " << cut;
            ASSERT_TRUE(oneOutcome(c)) << "cut at " << cut;
            ASSERT_EQ(c.notices.size(), 1u) << "cut at " << cut;
            EXPECT_EQ(c.notices[0].text, end_of_file_text) << "cut at " << cut;
            const size_t read = size_t(std::upper_bound(end.begin(), end.end(), cut) - end.begin());
            // The notice comes before the "g" line of a group not read whole.
            const std::string groups = full.substr(0, textAt[read]);
            EXPECT_EQ(c.notices[0].on_disk, groups) << "cut at " << cut;
            const bool named = read < model.size() && cut >= nameEnd[read];
            EXPECT_EQ(c.obj, named ? groups + "g " + model[read].name + "\r\n" : groups) << "cut at " << cut;
        }

        const Bytes upToMarker(whole.begin(), whole.end() - trailer_size);
        std::vector<Bytes> tails = {{}, Bytes(trailer_size - 1, 0x5A), Bytes(trailer_size, 0)};
        for (size_t n : {1, trailer_size - 1, trailer_size, trailer_size + 1, 5000}) tails.push_back(Bytes(n, 0xFF));
        tails.push_back(whole);                              // the file again
        Bytes group;
        putGroup(group, model.front());                      // a whole group
        tails.push_back(Bytes(trailer_size, 1));
        tails.back().insert(tails.back().end(), group.begin(), group.end());
        Bytes counts;                                        // hostile counts
        for (int32_t v : {1000000000, -1, 300, 0x7fffffff}) putI32(counts, v);
        tails.push_back(counts);
        for (int n = 0; n < 20; ++n) {                       // random junk of any length
            Bytes t;
            const int len = d.upTo(1, 700);
            for (int i = 0; i < len; ++i) t.push_back(static_cast<unsigned char>(d.upTo(0, 255)));
            tails.push_back(t);
        }
        for (const Bytes& tail : tails) {
            Bytes file = upToMarker;
            file.insert(file.end(), tail.begin(), tail.end());
            EXPECT_EQ(runSummary(convertBytes(file)), runSummary(finished)) << "tail of " << tail.size();
        }
    }
}

// Bytes of one facet record, texture facet record and material slot, as
// the builder writes them.
const size_t facet_bytes = StoredArrays(GroupSpec{.faces = {{}}}).fac.size();
const size_t tex_facet_bytes = StoredArrays(GroupSpec{.faces2 = {{}}}).fac2.size();
const size_t slot_bytes = StoredArrays(GroupSpec{.mats = {""}}).mats.size();

// Byte offsets of every 32-bit count and facet field of a built model, so
// that mutations can hit the fields that steer the reading.
std::vector<size_t> fieldOffsets(const std::vector<GroupSpec>& model) {
    std::vector<size_t> at;
    size_t p = header_size;
    // A count, then the array of its n items, with the fields at these
    // offsets in each.
    auto array = [&](size_t n, size_t bytes, std::initializer_list<size_t> fields) {
        at.push_back(p);
        for (size_t i = 0; i < n; ++i)
            for (const size_t f : fields) at.push_back(p + 4 + i * (bytes / n) + f);
        p += 4 + bytes;
    };
    for (const GroupSpec& g : model) {
        const StoredArrays s(g);
        array(0, g.name.size(), {});                  // name length
        array(0, s.xyz.size(), {});                   // np
        array(g.pf.size(), s.pf.size(), {0});         // nq
        array(g.faces.size(), s.fac.size(), {0, 4, 11});  // nf: c1, nc, and the bytes around mat
        at.push_back(p);                              // texq
        p += 4;
        if (g.texq) {
            array(0, s.uv.size(), {});                // nt
            array(g.pt.size(), s.pt.size(), {0});     // nq2
            array(g.faces2.size(), s.fac2.size(), {0, 4});  // nf2
        }
        array(0, s.mats.size(), {});                  // nm
    }
    at.push_back(p);                                  // the end marker
    return at;
}

const int32_t hostile[] = {0, 1, -1, 2, 3, 255, 256, 257, 300, 65535, 65536, 0x7fffffff,
                           -0x7fffffff - 1, 0x40000000, 0x3fffffff, 238609294, 238609295,
                           1000000000, -5, 0x7f800000, 0x7fc00000, 0x3f800000};

void putAt(Bytes& b, size_t at, int32_t v) {
    Bytes four;
    putI32(four, v);
    for (size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = four[i];
}

Bytes mutate(Dice& d, Bytes b, const std::vector<size_t>& fields) {
    const int count = d.upTo(1, 4);
    for (int n = 0; n < count && !b.empty(); ++n) {
        const size_t at = size_t(d.upTo(0, int(b.size()) - 1));
        switch (d.upTo(0, 5)) {
        case 0:  // one bit
            b[at] ^= static_cast<unsigned char>(1u << d.upTo(0, 7));
            break;
        case 1:  // one byte
            b[at] = static_cast<unsigned char>(d.upTo(0, 255));
            break;
        case 2:  // a field that steers the reading, set to a hostile value
        case 3:
            putAt(b, fields[size_t(d.upTo(0, int(fields.size()) - 1))], hostile[d.upTo(0, int(std::size(hostile)) - 1)]);
            break;
        case 4:  // a hostile value anywhere
            putAt(b, at, hostile[d.upTo(0, int(std::size(hostile)) - 1)]);
            break;
        case 5:  // bytes taken out
            b.erase(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + size_t(d.upTo(1, 9)))));
            break;
        }
    }
    return b;
}

// The notices a run of the bytes b must show, as runSummary() without the
// output gives them, worked out from the file's layout alone: the fields in
// file order, a count that no block can hold, data that is not in the file,
// a corner outside its index list.
std::string expectedNotices(const Bytes& b) {
    const std::string failed = std::to_string(int(RunOutcome::failed)) + "\n";
    auto warn = [](const std::string& text) { return "<in>|48|" + text + "\n"; };
    const std::string eof = failed + warn(end_of_file_text);
    auto be = [&](size_t at) {
        return int32_t(uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3]);
    };
    auto wrap = [](int32_t x, int32_t y) { return int32_t(uint32_t(x) + uint32_t(y)); };
    size_t at = header_size, data = 0;
    auto has = [&](uint64_t n) { return at <= b.size() && n <= b.size() - at; };
    auto field = [&](int32_t& v) {
        if (!has(4)) return false;
        v = be(at);
        at += 4;
        return true;
    };
    int32_t facets = 0;  // in the groups written
    for (;;) {
        int32_t length = 0;
        if (!field(length)) return eof;
        if (length == 0)
            return std::to_string(int(RunOutcome::finished)) + "\n<out>|0|" + obj_texts.finished + "\n";
        if (length < 0 || length > 256) {
            char m[100];
            std::snprintf(m, sizeof m, bad_length_format, length);
            return failed + warn(m) + (facets == 0 ? warn(short_file_text) : "<in>|0|" + std::string(obj_texts.junk) + "\n");
        }
        if (!has(uint64_t(length))) return eof;
        const std::string name(reinterpret_cast<const char*>(&b[at]),
                               std::find(&b[at], &b[at] + length, 0) - &b[at]);
        at += size_t(length);

        std::string failure;
        // A count, its blocks and its data; `asks` blocks are asked for
        // before a count that none can hold fails.
        auto count = [&](const char* what, size_t size, size_t fileBytes, int asks, int32_t& n) {
            failure = eof;
            if (!field(n)) return false;
            if (n < 0 || uint64_t(n) * size > UINT32_MAX) {
                failure = failed;
                while (asks--) failure += std::string(memory_texts.caption) + "|48|" + memory_texts.text + "\n";
                char m[400];
                std::snprintf(m, sizeof m, memory_texts.countFormat, name.c_str(), what, n,
                              unsigned(n));
                failure += warn(m);
                return false;
            }
            if (!has(uint64_t(n) * fileBytes)) return false;
            data = at;
            at += size_t(n) * fileBytes;
            return true;
        };
        int32_t np, nq, nf, texq, nt = 0, nq2 = 0, nf2 = 0, nm;
        if (!count("np", 4, 12, 3, np) || !count("nq", 4, 4, 1, nq) ||
            !count("nf", facet_bytes, facet_bytes, 1, nf))
            return failure;
        const size_t fac = data;
        if (!field(texq)) return eof;
        if (texq != 0 && (!count("nt", 4, 8, 1, nt) || !count("nq2", 4, 4, 1, nq2) ||
                          !count("nf2", tex_facet_bytes, tex_facet_bytes, 1, nf2)))
            return failure;
        const size_t fac2 = data;
        if (!count("nm", slot_bytes, slot_bytes, 1, nm)) return failure;

        for (int32_t j = 0; j < nf; ++j) {
            const size_t rec = fac + facet_bytes * size_t(j), rec2 = fac2 + tex_facet_bytes * size_t(j);
            const int32_t c1 = be(rec), c12 = j < nf2 ? be(rec2) : -1;
            const int32_t end = wrap(c1, be(rec + 4)), end2 = j < nf2 ? wrap(c12, be(rec2 + 4)) : -2;
            for (int32_t s = c1, k = c12; s < end; ++s, k = wrap(k, 1)) {
                if (s < 0 || s >= nq) return failed + warn(bad_value_text);
                if (c12 >= 0 && k < end2 && (k < 0 || k >= nq2)) return failed + warn(bad_value_text);
            }
        }
        facets = wrap(facets, nf);
    }
}

TEST(Properties, MutatedFilesEndAsTheirBytesSayWithAnyOptions) {
    // The plain run shows the notices the bytes call for. --lf writes its
    // lines with LF ends, failures included; with every option the run keeps
    // the one-outcome rule (before the notice of what --clean changed) and
    // never fails with "bad value", where the plain run does. Over mutated
    // generated models, then the odd models.
    const OutputOptions lf{.lf = true};
    const OutputOptions all{.clean = true, .mtl = true, .weld = true, .triangulate = true, .zUp = true,
                            .exact = true, .scale = 0.5};
    std::vector<Bytes> files;
    for (uint32_t seed = 0; seed < 40; ++seed) {
        const auto model = randomModel(100 + seed, ModelOptions{.groups = 1 + int(seed % 6),
                                                                .emptyGroups = seed % 3 == 0});
        const Bytes whole = buildRsr(model);
        const std::vector<size_t> fields = fieldOffsets(model);
        ASSERT_EQ(whole.size(), fields.back() + 4 + trailer_size) << "field offsets of seed " << seed;
        Dice d(seed);
        for (int n = 0; n < 60; ++n) files.push_back(mutate(d, whole, fields));
    }
    const size_t mutants = files.size();
    for (uint32_t seed = 1; seed <= 60; ++seed) files.push_back(buildRsr(oddModel(seed).groups));
    int finished = 0, failed = 0, cleaned = 0, badValues = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const Converted t = convertBytes(files[i]);
        if (i < mutants) {
            ASSERT_EQ(runSummary(t, false), expectedNotices(files[i])) << "mutant " << i;
            (t.outcome == RunOutcome::finished ? finished : failed)++;
        }
        std::string want = t.obj;
        for (size_t at = 0; (at = want.find("\r\n", at)) != std::string::npos; ++at) want.erase(at, 1);
        ASSERT_EQ(convertInMemory(files[i], lf).obj, want) << i;
        badValues += !t.notices.empty() && t.notices[0].text == bad_value_text;

        Converted a = convertBytes(files[i], &all);
        if (!a.notices.empty() && a.notices.back().text.rfind("cleaned: ", 0) == 0) {
            EXPECT_EQ(a.notices.back().caption, a.in);
            a.notices.pop_back();
            ++cleaned;
        }
        for (const Shown& s : a.notices) ASSERT_NE(s.text, bad_value_text) << i;
        ASSERT_TRUE(oneOutcome(a)) << i;
    }
    // Both outcomes must occur, or the family tests nothing.
    EXPECT_GT(finished, 100);
    EXPECT_GT(failed, 100);
    EXPECT_GT(cleaned, 50);
    EXPECT_GT(badValues, 10);
}

}  // namespace
