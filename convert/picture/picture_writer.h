// The picture writer: the run's writer when the output is a picture (.png).
// It reads the extent of the model's points first, in a second read of the
// input (view_bounds.h), draws each group the run hands it, and writes the
// PNG file once the input has been read, finished or failed: the picture
// of a failed run shows what was drawn before the failure, or the
// placeholder. Its failures, notices and outcome are the run's.
#pragma once

#include <memory>
#include <optional>
#include <span>

#include "convert/format/group_writer.h"
#include "convert/format/output.h"
#include "convert/picture/image.h"

namespace quarlen {

// A writer of a pixels x pixels picture (1 to max_picture_size) into out,
// of the input at path, or of bytes when they are given (as a run's
// request gives them). An input that cannot be read a second time (a pipe)
// gives the placeholder.
std::unique_ptr<GroupWriter> pictureWriter(Output& out, const char* path,
                                           const std::optional<std::span<const unsigned char>>& bytes, int pixels);

// A picture drawn beside another writer, from the groups the run hands
// that one (the page's rows, a library's pictures beside its GLBs, the
// Windows program's window): framed as the writer's, drawn group by group,
// finished into an image once the run ends. Memory that runs out leaves
// the placeholder: the run it goes beside does not fail for it.
class PictureDrawer {
public:
    virtual ~PictureDrawer() = default;
    virtual void group(const Group& g) = 0;
    // What was drawn, or the placeholder when nothing was.
    virtual Image finish() = 0;
};
std::unique_ptr<PictureDrawer> pictureDrawer(const char* path,
                                             const std::optional<std::span<const unsigned char>>& bytes, int pixels);

}  // namespace quarlen
