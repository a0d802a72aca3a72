// Planning a batch of many files: which inputs a list of files and folders
// gives, in what order, and where each one's output goes. Every front end
// that converts more than one file uses it, then batch_run.h.
#pragma once

#include <string>
#include <vector>

namespace quarlen {

struct BatchSettings {
    bool recursive = false;  // folders give the files of all their sub-folders too
    bool force = false;      // replace outputs that exist
    std::string outputDir;   // empty: each output beside its input
    const char* extension = ".obj";  // NAME.rsr's output is NAME plus this (".obj" or ".glb")
    const char* pictureExtension = nullptr;  // set (".png"): also a picture, NAME plus this, beside each output
};

// One input and where its output goes. Paths are UTF-8 on Windows and the
// system's own bytes elsewhere.
struct BatchItem {
    std::string in;       // the .rsr file, or an operand that is none
    std::string out;      // the final output path; empty when there is none
    std::string problem;  // set: the item fails with this text, nothing is converted
    bool skip = false;    // the output exists and is not to be replaced
    std::string picture;  // the picture beside the output, or empty: none
    bool skipPicture = false;  // the picture exists and is not to be replaced
};

// Two outputs of one input (pictureExtension) are each made unless it
// exists, and a clash of either is the input's. An item with nothing to
// make is skipped.
inline bool skipped(const BatchItem& item) { return item.skip && (item.picture.empty() || item.skipPicture); }

// The inputs that operands give, in a stable order: operands in the order
// given, each folder's files sorted by path. An operand that gives nothing
// convertible, and a second input mapping to an output already taken, become
// items with a problem. An output that exists is skipped unless s.force.
std::vector<BatchItem> planBatch(const std::vector<std::string>& operands, const BatchSettings& s);

}  // namespace quarlen
