// The menu commands: choosing the two files and running the conversion.
#include "shell/main_window.h"

#include <cderr.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "convert/run/run.h"
#include "convert/format/notice.h"
#include "convert/run/output_kinds.h"
#include "convert/picture/image.h"
#include "shell/model_picture.h"
#include "shell/notice_msgbox.h"

using namespace quarlen;

// Path buffers of the translate command and the name part of the file
// chosen last, proposed by the next dialog. The process code page is UTF-8
// (res/app.manifest), where a full path of 260 characters takes up to 3
// bytes each. The Wine suite builds a copy with smaller buffers, to reach
// the notice for a name that does not fit.
#ifndef QUARLEN_PATH_BYTES
#define QUARLEN_PATH_BYTES (260 * 3 + 1)
#endif
static char file[QUARLEN_PATH_BYTES];
static char File[QUARLEN_PATH_BYTES];
static char tit[QUARLEN_PATH_BYTES];
static OPENFILENAMEA ofn;

static const char* const too_long_text =
    "The path of the chosen file is too long. Choose a file with a shorter path.";

// One description and pattern pair, the empty string that ends the list,
// and the literal's own NUL: 18 bytes each.
static const char filterRSR[] = "RSR files\0*.RSR\0\0";
static const char filterOBJ[] = "OBJ files\0*.OBJ\0\0";
static_assert(sizeof filterRSR == 18 && sizeof filterOBJ == 18);

static int GetFileName(HWND wn, char* path, const char* t, const char* f, int write)
{
    std::strcpy(path, tit);  // propose the name part of the file chosen last
    ofn = OPENFILENAMEA{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // 76: without the Windows 2000 members
    ofn.hwndOwner = wn;
    ofn.lpstrFilter = f;
    ofn.lpstrCustomFilter = NULL;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrFileTitle = tit;
    ofn.nMaxFileTitle = sizeof tit;
    ofn.lpstrInitialDir = NULL;
    ofn.lpstrTitle = t;
    ofn.Flags = write ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
    if (write ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn))
        return 1;
    // A cancel ends the command quietly; a name that does not fit is said,
    // under the title of the dialog it came from.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
        showNotice(too_long_text, t, notice_warning);
    return 0;
}

// The run's first notice tells how it ended: "Finished" brings the run's
// picture of the model into the window, behind the notice, so that it is
// seen while the notice is read; a failure brings the help text back.
struct PictureShown {
    HWND wn;
    const Image* picture;  // the run's, filled before it tells its outcome
    const char* finished;  // the text of the run's "Finished" notice
    bool told = false;     // the first notice has come
};

static void showWithPicture(void* ctx, const char* text, const char* caption, unsigned style)
{
    auto& s = *static_cast<PictureShown*>(ctx);
    if (!s.told && std::strcmp(text, s.finished) == 0)
        ShowPicture(s.wn, *s.picture, file);
    else if (!s.told)
        ShowPicture(s.wn, Image{}, file);
    s.told = true;
    showNotice(text, caption, style);
}

// The conversion tells its own outcome, except when it could not start. The
// output's name chooses what is written (NAME.glb: a binary glTF file), as in
// the console program.
static void Convert(HWND wn, const OutputKind& kind)
{
    Image picture;
    PictureShown shown{wn, &picture, kind.texts->finished};
    RunRequest req;
    req.input = file;
    req.output = File;
    req.notices = {showWithPicture, &shown};
    req.alsoPicture = &picture;
    req.alsoPictureSize = PictureSizeFor(wn);
    fileopen = 1;
    RunResult r = convertRSR(req);
    fileopen = 0;
    // A run that could not start, or failed after "Finished".
    if (r.outcome != RunOutcome::finished)
        ShowPicture(wn, Image{}, file);

    char text[160];
    if (r.outcome == RunOutcome::input_not_opened) {
        std::snprintf(text, sizeof text, "I can't open the .RSR file: %s", std::strerror(r.error));
        showNotice(text, file, notice_warning);
    } else if (r.outcome == RunOutcome::output_not_created) {
        std::string extension = kind.extension;  // ".OBJ", as the traditional notices name it
        for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::snprintf(text, sizeof text, "I can't create the %s file: %s", extension.c_str(), std::strerror(r.error));
        showNotice(text, File, notice_warning);
    }
}

static LRESULT Translate(HWND wn, UINT iMessage, WPARAM S, LPARAM L)
{
    // From inside a notice of a running conversion: the running one still
    // reads file and File and writes its output.
    if (fileopen) {
        MessageBeep(0xFFFFFFFF);
        return 0;
    }
    if (!GetFileName(wn, file, "file to read from?", filterRSR, 0))
        return DefWindowProcA(wn, iMessage, S, L);
    tit[0] = '\0';
    if (!GetFileName(wn, File, "file to write mesh to?", filterOBJ, 1))
        return DefWindowProcA(wn, iMessage, S, L);

    const OutputKind* kind = kindNamed(File);
    if (!hasExtension(file, ".rsr") || !kind) {
        ShowPicture(wn, Image{}, file);
        showNotice(bad_filename_text, "", notice_warning);
        return 0;
    }
    Convert(wn, *kind);
    return 0;
}

LRESULT MenuCommand(HWND wn, UINT iMessage, WPARAM S, LPARAM L)
{
    switch (LOWORD(S)) {
    case cmd_translate:
        return Translate(wn, iMessage, S, L);
    case cmd_exit:
        SendMessageA(wn, WM_CLOSE, 0, 0);
        return 0;
    }
    return 0;
}
