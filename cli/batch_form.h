// The console program's batch form: many files, folders walked, outputs
// beside the inputs or under one folder.
#pragma once

#include <string>
#include <vector>

#include "convert/batch/batch_run.h"

using namespace quarlen;

struct BatchForm {
    std::vector<std::string> operands;       // files and folders, as typed
    BatchSettings settings;                  // what the plan takes
    int jobs = 0;                            // files at once; 0: one per processor
    bool quiet = false;                      // no progress line, no summary
    bool verbose = false;                    // a line for each file that converted or was skipped
    const OutputOptions* options = nullptr;  // every file's output options
};

// Converts every file the operands give; returns the exit status: 0 when no
// file failed, 1 when any did, 130 when interrupted.
int runBatchForm(const BatchForm& form);
