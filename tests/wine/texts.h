// The program's texts, as the user reads them.
#pragma once

inline const char* const help_text =
    "Translate a Poser geometry .RSR file into .OBJ format. The component groups will be "
    "unwelded from each other at their borders because Poser did that while translating from "
    ".OBJ to .RSR mode.";

inline const char* const finished_text =
    "Finished. If Bryce refuses to read this .OBJ file, use a text editor to move to the start "
    "of the file the 3 comment lines starting with `#' that you will find at the end of the file.";
inline const char* const short_file_text =
    "This may be a \"short RSR\" file that contains only a library thumbnail graphic image. "
    "I can't handle those.";
inline const char* const junk_text =
    "I probably hit junk at the end of the .RSR file, and likely the output .OBJ file is complete";
inline const char* const no_memory_text = "I can't get enough memory";
inline const char* const too_long_text =
    "The path of the chosen file is too long. Choose a file with a shorter path.";
inline const char* const whoa_title = "Whoa there, I got a file open!!";
