// The program's texts, as the user reads them: the notices from the core's
// own list, the window's texts as the shell writes them.
#pragma once

#include "convert/format/texts.h"

inline const char* const help_text =
    "Translate a Poser geometry .RSR file into .OBJ format. The component groups will be "
    "unwelded from each other at their borders because Poser did that while translating from "
    ".OBJ to .RSR mode.";

inline const char* const finished_text = quarlen::obj_texts.finished;
inline const char* const junk_text = quarlen::obj_texts.junk;
inline const char* const no_memory_text = quarlen::memory_texts.text;
using quarlen::short_file_text;
inline const char* const too_long_text =
    "The path of the chosen file is too long. Choose a file with a shorter path.";
inline const char* const whoa_title = "Whoa there, I got a file open!!";
