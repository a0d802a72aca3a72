// Every outcome of the translate command, each from a file made for it.
#include <algorithm>

#include "check.h"
#include "session.h"
#include "texts.h"
#include "translate_steps.h"

namespace {

enum class Caption { input, output, farmalloc, empty };

struct NoticeSpec {
    std::string text;
    Caption caption;
    IconKind icon;
};

struct Case {
    std::string what;
    std::string in, out;        // file names under data and data\out
    std::vector<NoticeSpec> notices;
    std::string expected;       // file under data\expected the output must equal; empty: no output
    bool replace = false;       // the output exists: answer Yes to replacing it
    bool removeInput = false;   // the input vanishes between the dialogs
    bool lockOutput = false;    // another program holds the output open, unshared
};

const IconKind warn = IconKind::exclamation;
const IconKind plain = IconKind::none;

std::vector<Case> cases()
{
    const NoticeSpec finished{finished_text, Caption::output, plain};
    const NoticeSpec bad{"bad filename", Caption::empty, warn};
    // A failure notice, an input not opened and a bad filename each follow a finished run.
    return {
        {"square.rsr: one facet in its material's colour", "square.rsr", "square.obj", {finished},
         "square.obj"},
        {"name length 300 before any group", "range.rsr", "range.obj",
         {{"# of chars in group name out of range: 300", Caption::input, warn},
          {short_file_text, Caption::input, warn}},
         "range.obj"},
        {"Mixed.Rsr to Mixed.Obj: letter case of the extensions", "Mixed.Rsr", "Mixed.Obj",
         {finished}, "good.obj"},
        {"input gone before the run: could not start", "gone.rsr", "gone.obj",
         {{"I can't open the .RSR file: No such file or directory", Caption::input, warn}}, "",
         false, true},
        {"good.rsr to Good.Glb: a binary glTF file, as the console program writes it", "good.rsr",
         "Good.Glb",
         {{quarlen::glb_texts.finished, Caption::output, plain},
          {"cleaned: 2 facets left out (fewer than 3 corners), 1 facet left out (point with a "
           "non-finite coordinate), 1 facet written without texture corners (some were missing "
           "or bad)",
           Caption::input, plain}},
         "good.glb"},
        {"output bad.txt: bad filename", "good.rsr", "bad.txt", {bad}, ""},
        {"name length -1 after a complete group", "junk.rsr", "junk.obj",
         {{"# of chars in group name out of range: -1", Caption::input, warn},
          {junk_text, Caption::input, plain}},
         "junk.obj"},
        {"file ends among the points", "eof.rsr", "eof.obj",
         {{"end of file", Caption::input, warn}}, "eof.obj"},
        {"corner outside the vertex index list", "badvalue.rsr", "badvalue.obj",
         {{"bad value", Caption::input, warn}}, "badvalue.obj"},
        {"negative count nq=-5", "negcount.rsr", "negcount.obj",
         {{no_memory_text, Caption::farmalloc, warn},
          {"I ran out of store reading hip: nq=-5=0xfffffffb", Caption::input, warn}},
         "negcount.obj"},
        {"output held open by another program: could not start", "good.rsr", "locked.obj",
         {{"I can't create the .OBJ file: Permission denied", Caption::output, warn}},
         "locked.obj", true, false, true},
        {"input model.rsrx: bad filename", "model.rsrx", "rsrx.obj", {bad}, ""},
        {"input model.txt: bad filename", "model.txt", "txt.obj", {bad}, ""},
        {"input named rsr, no extension: bad filename", "rsr", "rsr.obj", {bad}, ""},
        {"output named obj, no extension: bad filename", "good.rsr", "obj", {bad}, ""},
        {"output typed without extension: bad filename, none added", "good.rsr", "plain", {bad},
         ""},
    };
}

std::string captionOf(Caption c, const std::string& in, const std::string& out)
{
    switch (c) {
    case Caption::input: return in;
    case Caption::output: return out;
    case Caption::farmalloc: return "farmalloc";
    case Caption::empty: return "";
    }
    return "?";
}

// The window after a run that finished: its picture, many pixels neither
// white nor dark, coloured for square.rsr alone (the others give the grey
// placeholder), and the model's name, dark pixels all below the picture's
// middle. Empty when so; seen tells the counts.
std::string pictureShown(const Program& p, bool colour, std::string& seen)
{
    return clientShows(p, [&](const Pixels& px, int w) {
        size_t drawn = 0, coloured = 0, dark = 0, top = px.size(), bottom = 0, nameTop = px.size();
        for (size_t i = 0; i < px.size(); ++i) {
            const DWORD r = px[i] >> 16 & 255, g = px[i] >> 8 & 255, b = px[i] & 255, most = std::max({r, g, b});
            coloured += most - std::min({r, g, b}) > 64;
            if (most < 0x60)
                ++dark, nameTop = std::min(nameTop, i / size_t(w));
            else if ((px[i] & 0xFFFFFF) != 0xFFFFFF)
                ++drawn, top = std::min(top, i / size_t(w)), bottom = i / size_t(w);
        }
        seen = std::to_string(drawn) + " pixels drawn in rows " + std::to_string(top) + " to " +
               std::to_string(bottom) + ", " + std::to_string(coloured) + " coloured, " + std::to_string(dark) +
               " dark from row " + std::to_string(nameTop);
        const bool named = dark > 20 && nameTop > (top + bottom) / 2;
        return drawn > px.size() / 50 && (coloured > px.size() / 50) == colour && named ? "" : seen;
    });
}

bool runCase(const Setup& s, const Program& p, const Case& c, const std::string& in)
{
    DialogAnswers a;
    a.in = in;
    a.out = s.out + "\\" + c.out;
    a.replace = c.replace;
    if (c.removeInput)
        a.deleteBeforeSave = a.in;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.lockOutput)
        held = CreateFileW(wide(a.out).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (c.lockOutput && held == INVALID_HANDLE_VALUE) {
        check(false, c.what, "cannot hold " + a.out + " open");
        return false;
    }
    std::string why;
    bool answered = answerDialogs(p, a, why);
    if (!answered) {
        check(false, c.what, why);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        return false;
    }
    std::vector<Expected> want;
    for (const NoticeSpec& n : c.notices)
        want.push_back({n.text, captionOf(n.caption, a.in, a.out), n.icon});
    std::string diff = compareNotices(collectNotices(p), want);
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    check(diff.empty(), c.what + ": notices", diff);
    std::string seen;
    const bool finished = c.notices.front().icon == plain;
    diff = finished ? pictureShown(p, c.in == "square.rsr", seen) : helpDiffers(p);
    check(diff.empty(), c.what + (finished ? ": its picture in the window, " + seen : ": the help text again"), diff);

    if (c.expected.empty()) {
        check(!fileExists(a.out), c.what + ": no output file", a.out + " exists");
    } else {
        diff = compareFiles(a.out, s.expected + "\\" + c.expected);
        check(diff.empty(),
              c.what + (c.lockOutput ? ": output file left as it was"
                                     : ": output identical to the Linux program's"),
              diff);
    }
    return true;
}

}  // namespace

bool checkOutcomes(const Setup& s, const Program& p)
{
    for (const Case& c : cases())
        if (!runCase(s, p, c, s.data + "\\" + c.in))
            return false;

    // Paths longer than 127 characters fill more than half the buffers.
    const std::string what = "paths of more than 127 characters";
    std::string in = s.longdir + "\\long.rsr";
    std::string out = s.longdir + "\\long.obj";
    check(in.size() > 127 && in.size() < 256 && out.size() > 127,
          "the long paths have 128 to 255 characters", std::to_string(in.size()));
    DialogAnswers a;
    a.in = in;
    a.out = out;
    std::string why;
    if (!answerDialogs(p, a, why)) {
        check(false, what, why);
        return false;
    }
    std::string diff = compareNotices(collectNotices(p), {{finished_text, out, plain}});
    if (diff.empty())
        diff = compareFiles(out, s.expected + "\\good.obj");
    check(diff.empty(), what + ": \"Finished\", output identical", diff);
    return true;
}
