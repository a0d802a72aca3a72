// Every text a run tells the user, in one place: the traditional notices
// word for word. The batch's own are in batch/batch_texts.h. Tests compare
// against these same constants.
#pragma once

#include <cstdint>
#include <string>

namespace quarlen {

// The texts that name the kind of file a run writes.
struct OutputTexts {
    const char* finished;     // the run wrote the whole file
    const char* junk;         // after a bad name length, in a file with facets
    const char* writeFailed;  // followed by the system's reason
};

inline constexpr OutputTexts obj_texts = {
    "Finished. If Bryce refuses to read this .OBJ file, use a text editor to move to the "
    "start of the file the 3 comment lines starting with `#' that you will find at the end "
    "of the file.",
    "I probably hit junk at the end of the .RSR file, and likely the output .OBJ file is "
    "complete",
    "I can't write the .OBJ file: ",
};
inline constexpr OutputTexts glb_texts = {
    "Finished.",
    "I probably hit junk at the end of the .RSR file, and likely the output .GLB file is "
    "complete",
    "I can't write the .GLB file: ",
};
inline constexpr OutputTexts png_texts = {
    "Finished.",
    "I probably hit junk at the end of the .RSR file, and likely the output .PNG file is "
    "complete",
    "I can't write the .PNG file: ",
};

// A file that holds no group: told after the failure that found it so.
inline constexpr const char* short_file_text =
    "This may be a \"short RSR\" file that contains only a library thumbnail graphic image. "
    "I can't handle those.";

// Memory that ran out: the text under its caption, for each time it was
// asked for, then which count of which group.
struct NoMemoryTexts {
    const char* text;         // once for each time memory was asked for
    const char* caption;      // the caption of text
    const char* countFormat;  // the group's name, the count's name, its value twice
};
inline constexpr NoMemoryTexts memory_texts = {
    "I can't get enough memory",
    "farmalloc",
    "I ran out of store reading %s: %s=%d=0x%08x",
};

// The input's end, read too soon.
inline constexpr const char* end_of_file_text = "end of file";
inline constexpr const char* ended_early_text = "end of file: the file became shorter while it was read";

// Values the format does not allow, the names of a one-file conversion
// that the front ends do not take, and the material file the run could not
// write.
inline constexpr const char* bad_value_text = "bad value";
inline constexpr const char* bad_length_format = "# of chars in group name out of range: %d";
inline constexpr const char* bad_filename_text = "bad filename";
inline constexpr const char* mtl_write_failed_text = "I can't write the .MTL file: ";

// "1 facet", "2 facets": the count and the word that goes with it.
inline std::string counted(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

}  // namespace quarlen
