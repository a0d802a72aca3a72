// The input read three ways: from a file whose size is known, from a pipe
// whose size is not, and from bytes in memory. All give the same fields,
// arrays and end-of-file points, and so the same runs.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "convert/format/rsr.h"
#include "tests/model_gen.h"
#include "tests/recording_notice.h"
#include "tests/run_files.h"

using namespace quarlen;

namespace {

// One read: n fields ('l', one when n is 0), n bytes ('b'), an array of n
// bytes ('t'), or the start of the next group ('g'), which first checks the
// arrays taken since the last one against the file; or bytes added to the
// file ('a'), which the input must not read.
struct Step {
    char op;
    size_t n = 0;
};

std::string readSteps(const std::string& path, const std::string& bytes, const std::vector<Step>& steps,
                      std::atomic<bool>* cut) {
    Input in;
    EXPECT_TRUE(openInput(in, path.c_str(), cut));
    std::string log;
    size_t offset = 0;  // where the next read starts in the file
    struct Taken {
        Piece piece;
        size_t n, offset;
    };
    std::vector<Taken> pieces;
    for (const Step& s : steps) {
        if (s.op == 'l') {
            bool same = true;  // each field is the file's four bytes, big-endian, zeros past its end
            for (size_t i = 0; i < std::max<size_t>(s.n, 1); ++i, offset += 4) {
                uint32_t want = 0;
                for (size_t k = 0; k < 4; ++k)
                    want = want << 8 | (offset + k < bytes.size() ? uint8_t(bytes[offset + k]) : 0u);
                same = same && Getl(in) == int32_t(want);
            }
            log += same ? "fields" : "other fields";
        } else if (s.op == 'b') {
            std::string b(s.n, '?');
            readBytes(in, b.data(), s.n);
            std::string want = bytes.substr(std::min(offset, bytes.size()), s.n);
            want.resize(s.n, '\0');  // what the file does not have reads as zeros
            log += b == want ? "bytes" : "other bytes";
            offset += s.n;
        } else if (s.op == 't') {
            Piece p;
            const Take t = takeBytes(in, s.n, p);
            log += "take " + std::to_string(int(t));
            if (t == Take::ok) pieces.push_back({p, s.n, offset});
            offset += s.n;
        } else if (s.op == 'a') {
            if (FILE* grow = std::fopen(path.c_str(), "ab")) {
                std::fputs("\x01\x02\x03\x04\x05\x06\x07\x08", grow);
                std::fclose(grow);
            }
            std::clearerr(in.f);  // as a C library that reads on past the end would
            log += "grown";
        } else {
            for (const Taken& p : pieces) {
                const std::string got(reinterpret_cast<const char*>(pieceAt(in, p.piece)), p.n);
                log += got == bytes.substr(p.offset, p.n) ? " piece" : " OTHER PIECE";
            }
            pieces.clear();
            startGroup(in);
        }
        const int64_t left = std::max<int64_t>(0, int64_t(bytes.size()) - int64_t(offset));
        log += " eof=" + std::to_string(in.eof) + (bytesLeft(in) == left ? "" : " LEFT " + std::to_string(bytesLeft(in))) + "\n";
    }
    closeInput(in);
    return log;
}

TEST(Input, FieldsAndArraysReadAsStoredAndTheEndStays) {
    // Arrays within a block, across blocks, larger than a block, one byte,
    // and one that meets the end of the file; fields after each; read with
    // large arrays copied, and mapped (as a run that watches for a cut
    // file maps them) up to the nine of one group, the last read past the
    // block buffer.
    std::string bytes;
    for (uint32_t i = 0; i < 1100000; ++i) bytes += static_cast<char>((i * 7) ^ (i >> 8));
    const std::string path = tempPath(".bin");
    writeFile(path, Bytes(bytes.begin(), bytes.end()));
    // The first fields, one byte off, straddle the end of the first block.
    std::vector<Step> steps = {{'b', 1}, {'l', 20000}, {'b', 5},    {'t', 10}, {'l'},        {'t', 50000}, {'l'},
                               {'b', 3}, {'g'},        {'t', 65536}, {'t', 1},  {'l'},        {'g'},        {'b', 60000},
                               {'t', 4000}, {'g'},     {'t', 10000}, {'l', 3},  {'b', 2},     {'g'}};
    steps.insert(steps.end(), 9, {'t', 66000});
    steps.insert(steps.end(), {{'l'}, {'g'}, {'t', 70000}, {'l'}, {'g'}, {'t', 200000}, {'l'}});
    std::atomic<bool> cut = false;
    for (std::atomic<bool>* watch : {static_cast<std::atomic<bool>*>(nullptr), &cut}) {
        const std::string log = readSteps(path, bytes, steps, watch);
        EXPECT_EQ(log.find("OTHER"), std::string::npos) << log;
        EXPECT_EQ(log.find("LEFT"), std::string::npos) << log;
        EXPECT_EQ(log.find("other"), std::string::npos) << log;
        EXPECT_NE(log.find("take 1 eof=1"), std::string::npos) << log;
    }
    std::remove(path.c_str());

    // Bytes that did not arrive read as zeros; once the file has grown, the
    // end stays set and no new byte comes in.
    const std::string small("\0\0\0\x07\x01\x02", 6);
    writeFile(path, Bytes(small.begin(), small.end()));
    EXPECT_EQ(readSteps(path, small, {{'l'}, {'l'}, {'a'}, {'l', 2}}, nullptr),
              "fields eof=0\nfields eof=1\ngrown eof=1\nfields eof=1\n");
}

// Converts rsr written into a pipe by another thread, as a shell's process
// substitution gives it.
Converted convertFromPipe(const Bytes& rsr) {
    const std::string in = tempPath(".rsr"), out = tempPath(".obj");
    EXPECT_EQ(mkfifo(in.c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = open(in.c_str(), O_WRONLY);
        for (size_t done = 0; fd >= 0 && done < rsr.size();) {
            const ssize_t n = write(fd, rsr.data() + done, rsr.size() - done);
            if (n <= 0) break;  // the run stopped reading
            done += size_t(n);
        }
        if (fd >= 0) close(fd);
    });
    Converted c = convertPaths(in, out, 2, 3);
    writer.join();
    std::remove(in.c_str());
    std::remove(out.c_str());
    return c;
}

TEST(Input, APipeAndBytesInMemoryGiveTheSameRunsAsAFile) {
    std::signal(SIGPIPE, SIG_IGN);  // a run that fails stops reading the pipe
    const Bytes whole = buildRsr(
        randomModel(21, ModelOptions{.groups = 5, .maxPoints = 40, .maxFacets = 30, .maxCorners = 8, .materials = 3}));
    std::vector<Bytes> files = {whole};
    for (size_t cut = 0; cut < whole.size(); cut += whole.size() / 37 + 1)
        files.push_back(Bytes(whole.begin(), whole.begin() + long(cut)));
    // A small model with an empty group, texture data and material names, cut
    // at every third byte from the end of the header on: a cut inside every
    // field of more than two bytes.
    const auto small = randomModel(17, ModelOptions{.groups = 3, .maxPoints = 4, .maxFacets = 2, .maxCorners = 4,
                                                    .materials = 2, .emptyGroups = true});
    ASSERT_TRUE(std::any_of(small.begin(), small.end(), [](const GroupSpec& g) { return g.xyz.empty(); }));
    ASSERT_TRUE(std::any_of(small.begin(), small.end(),
                            [](const GroupSpec& g) { return !g.faces2.empty() && !g.mats.empty(); }));
    const Bytes smallFile = buildRsr(small);
    for (size_t cut = header_size - 2; cut <= smallFile.size(); cut += 3)
        files.push_back(Bytes(smallFile.begin(), smallFile.begin() + long(cut)));
    // Counts that no data follows, or that no memory can hold, and a bad
    // name length.
    for (int32_t count : {1000000000, 100000000, -5}) {
        files.push_back(hipUpTo("np"));
        putI32(files.back(), count);
        putFill(files.back(), 5000, 0x3F);
    }
    files.push_back(Bytes(header_size, 0));
    putI32(files.back(), 300);

    for (size_t i = 0; i < files.size(); ++i) {
        const Converted fromFile = convertBytes(files[i], 2, 3);
        EXPECT_EQ(runSummary(convertFromPipe(files[i])), runSummary(fromFile)) << "file " << i;
        EXPECT_EQ(runSummary(convertInMemory(files[i], 2, 3)), runSummary(fromFile)) << "file " << i;
    }
}

}  // namespace
