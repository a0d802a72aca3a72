// Notices for tests: records each notice together with what the output
// file held on disk at the moment it was shown.
#pragma once

#include <string>
#include <vector>

#include "convert/run/run.h"
#include "convert/options/output_options.h"
#include "tests/rsr_builder.h"

using namespace quarlen;

struct Shown {
    std::string text, caption;
    unsigned style = 0;
    std::string on_disk;  // the watched file's bytes when the notice was shown
};

// A run's sink that records each notice in `to` (nothing on disk), for
// runs a test makes itself.
NoticeSink recordInto(std::vector<Shown>& to);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);

// A fresh path in the test's temporary folder.
std::string tempPath(const std::string& suffix);

struct Converted {
    RunOutcome outcome;
    std::string obj;            // the output file after the run
    std::string mtl;            // the material file beside it, if any
    std::vector<Shown> notices;
    std::string in, out;        // the paths used, as captions name them
};

// The one way the tests convert: rsr written to a temporary .rsr file and
// converted to a temporary .obj, with output options when given; large
// groups formatted on `threads` threads in chunks of `chunk` lines (0: the
// defaults). Each run records its notices with its own sink, so that runs
// on several threads at once can each keep theirs.
Converted convertBytes(const Bytes& rsr, const OutputOptions* options = nullptr);
Converted convertBytes(const Bytes& rsr, unsigned threads, uint32_t chunk, const OutputOptions* options = nullptr);

// The same for an input that exists already (such as a pipe) and an output
// path; neither is removed.
Converted convertPaths(const std::string& in, const std::string& out, unsigned threads, uint32_t chunk,
                       const OutputOptions* options = nullptr);

// The same run on bytes in memory, written to sinks of the run's own: no
// file at all. The paths are "in.rsr" and "out.obj"; at each notice, the
// output holds what reached the sink.
Converted convertInMemory(const Bytes& rsr, unsigned threads, uint32_t chunk, const OutputOptions* options = nullptr);
Converted convertInMemory(const Bytes& rsr, const OutputOptions& options);

// The same traditional run in memory, into a sink that takes `limit` bytes
// and then fails, as a file at its size limit does. error > 0: the first
// failure sets errno to it and later ones to EIO (the first is the one
// told); error < 0: each write that succeeds sets errno to -error, as a
// library may, and the failure leaves errno alone.
Converted convertInMemoryLimited(const Bytes& rsr, size_t limit, int error);

// A notice as a test expects it: caption "in" or "out" stands for the path.
struct Expected {
    std::string text, caption;
    unsigned style;
    std::string on_disk;
};

// The run's outcome, notices and output against what is expected.
void expectRun(const Converted& c, RunOutcome outcome, const std::vector<Expected>& notices, const std::string& obj,
               const std::string& what);

// A run's outcome, notices (with the file on disk at each, and the output,
// unless withOutput is false), the temporary paths replaced by <in> and
// <out>: two runs of the same bytes compare equal.
std::string runSummary(const Converted& c, bool withOutput = true);
