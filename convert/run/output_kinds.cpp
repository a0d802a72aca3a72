#include "convert/run/output_kinds.h"

#include <cassert>

#include "convert/format/file_names.h"
#include "convert/glb/glb_writer.h"
#include "convert/obj/mtl.h"
#include "convert/obj/obj_writer.h"
#include "convert/options/option_table.h"
#include "convert/picture/picture.h"
#include "convert/picture/picture_writer.h"
#include "convert/run/run.h"

namespace quarlen {

namespace {

std::unique_ptr<GroupWriter> objOutput(Output& out, const RunRequest& req, const OutputOptions& o, InfoCount* count) {
    MaterialFile mtl;
    // NAME.mtl goes beside the output under its final name, or to the
    // caller's sink; an output to a stream has no name to put it beside.
    if (o.mtl && (req.mtlSink.write || !req.stream)) mtl = {mtlPathFor(req.output), req.mtlSink};
    return objWriter(out, o, mtl, req.threads, req.chunk, count);
}

std::unique_ptr<GroupWriter> glbOutput(Output& out, const RunRequest& req, const OutputOptions& o, InfoCount* count) {
    return glbWriter(out, effectiveScale(o), false, req.threads, req.chunk, count);
}

// A picture frames the model from a second read of the input's points.
std::unique_ptr<GroupWriter> pngOutput(Output& out, const RunRequest& req, const OutputOptions& o, InfoCount*) {
    assert(o.pictureSize >= 1 && o.pictureSize <= max_picture_size);
    return pictureWriter(out, req.input, req.inputBytes, o.pictureSize);
}

// Every kind; the first is written when no option asks for another.
constexpr OutputKind output_kinds[] = {
    {".obj", nullptr, false, &obj_texts, objOutput},
    {".glb", &OutputOptions::glb, true, &glb_texts, glbOutput},
    {".png", &OutputOptions::png, true, &png_texts, pngOutput},
};

}  // namespace

const OutputKind* kindNamed(const char* output) {
    assert(output);
    for (const OutputKind& k : output_kinds)
        if (hasExtension(output, k.extension)) return &k;
    return nullptr;
}

const OutputKind& kindAsked(const OutputOptions& o) {
    for (const OutputKind& k : output_kinds)
        if (k.flag && o.*k.flag) return k;
    return output_kinds[0];
}

const OutputKind* kindOf(bool OutputOptions::*flag) {
    for (const OutputKind& k : output_kinds)
        if (flag && k.flag == flag) return &k;
    return nullptr;
}

const char* optionName(const OutputKind& k) {
    for (const OptionRow& r : option_table)
        if (k.flag && r.flag == k.flag) return r.name;
    return nullptr;
}

OutputOptions withOutputName(OutputOptions o, const char* output) {
    const OutputKind* k = output ? kindNamed(output) : nullptr;
    if (k && k->flag) o.*k->flag = true;
    return o;
}

}  // namespace quarlen
