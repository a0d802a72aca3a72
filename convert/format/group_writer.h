// What a run hands each group to once it has been read in full. One
// writer serves a run: the OBJ writer (whose defaults are the traditional
// output), the GLB writer, or the report that describes instead of
// writing.
#pragma once

#include <string>

#include "convert/format/rsr.h"

namespace quarlen {

enum class GroupWritten {
    done,
    bad_value,  // a corner outside its index list: the run fails
    no_memory,  // memory that grows with the points ran out
};

class GroupWriter {
public:
    virtual ~GroupWriter() = default;

    // The group's line and body. A writer whose memory runs out may throw
    // std::bad_alloc, which counts as no_memory.
    virtual GroupWritten group(const char* name, const Group& g) = 0;

    // The line of a group whose reading failed, once its notices are shown.
    virtual void failedGroupLine(const char*) {}

    // What goes beside the output before the outcome is told (NAME.mtl).
    // False, with errno set, when it cannot be written.
    virtual bool finishSideFiles() { return true; }

    // Once the input has been read, finished or failed, before the outcome
    // is told: a writer that keeps its output until then (the GLB) writes
    // it. failedGroup names the group whose reading failed (null for none).
    // False, with errno set, when it cannot be written.
    virtual bool finishOutput(const char*) { return true; }

    // The end of a finished output, written after the "Finished" notice.
    virtual void closing() {}

    // A notice told last, once the output is complete (what --clean
    // changed); empty for none.
    virtual std::string lastNotice() const { return {}; }
};

}  // namespace quarlen
