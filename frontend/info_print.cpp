// The --info report as the console program prints it: for each input its
// groups, what --clean would change, and the counts; then a total line.
#include "frontend/info_print.h"

#include <cstring>

#include "convert/options/info.h"
#include "convert/batch/batch_texts.h"
#include "convert/format/texts.h"
#include "frontend/notice_console.h"

namespace quarlen {

namespace {

// A name in double quotes, with control bytes, quotes and backslashes
// escaped, so that each group stays on one line.
std::string quoted(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            q += '\\';
            q += c;
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            q += hex;
        } else {
            q += c;
        }
    }
    return q + '"';
}

void printSums(FILE* out, const InfoSums& s) {
    std::fprintf(out, "%s, %s, %s, %s", counted(s.groups, "group", "groups").c_str(),
                 counted(s.points, "point", "points").c_str(),
                 counted(s.textureVertices, "texture vertex", "texture vertices").c_str(),
                 counted(s.facets, "facet", "facets").c_str());
}

void printGroup(FILE* out, const InfoGroup& g, InfoSums& s) {
    int64_t facets = 0;
    for (const auto& [corners, n] : g.facets) facets += n;
    std::fprintf(out, "  g %s: %s, %s, %s", quoted(g.name).c_str(), counted(g.points, "point", "points").c_str(),
                 counted(g.textureVertices, "texture vertex", "texture vertices").c_str(),
                 counted(facets, "facet", "facets").c_str());
    const char* sep = " (";
    for (const auto& [corners, n] : g.facets) {
        std::fprintf(out, "%s%lld with %s", sep, static_cast<long long>(n),
                     counted(corners, "corner", "corners").c_str());
        sep = ", ";
    }
    if (!g.facets.empty()) std::fputs(")", out);
    std::fprintf(out, ", %s", counted(int64_t(g.materials.size()), "material", "materials").c_str());
    for (const std::string& m : g.materials) std::fprintf(out, " %s", quoted(m).c_str());
    std::fputs("\n", out);
    ++s.groups;
    s.points += g.points;
    s.textureVertices += g.textureVertices;
    s.facets += facets;
}

}  // namespace

InfoSums printFileInfo(FILE* out, const std::string& input, const InfoReport& report, RunOutcome outcome) {
    std::fprintf(out, "%s: %s\n", input.c_str(), counted(int64_t(report.groups.size()), "group", "groups").c_str());
    InfoSums file;
    for (const InfoGroup& g : report.groups) printGroup(out, g, file);
    const std::string problems = describeCounts(report.problems);
    if (problems.empty())
        std::fputs("  --clean would change nothing\n", out);
    else
        std::fprintf(out, "  --clean would change: %s\n", problems.c_str());
    if (outcome != RunOutcome::finished)
        std::fputs("  the file could not be read to its end: the groups above are those before the failure\n", out);
    std::fputs("  in all: ", out);
    printSums(out, file);
    std::fputs("\n", out);
    return file;
}

int printInfo(const std::vector<std::string>& inputs, FILE* out, NoticeSink notices) {
    InfoSums total;
    int failed = 0;
    for (const std::string& input : inputs) {
        InfoReport report;
        std::fflush(out);  // the report and any notice, in the order they happen
        RunRequest req;
        req.notices = notices;
        req.input = input.c_str();
        req.report = &report;
        const RunResult r = convertRSR(req);
        if (r.outcome == RunOutcome::input_not_opened) {
            std::fprintf(stderr, "%s: %s%s\n", input.c_str(), input_not_opened_text, std::strerror(r.error));
            ++failed;
            continue;
        }
        const InfoSums file = printFileInfo(out, input, report, r.outcome);
        if (r.outcome != RunOutcome::finished) ++failed;
        total.groups += file.groups;
        total.points += file.points;
        total.textureVertices += file.textureVertices;
        total.facets += file.facets;
    }
    std::fprintf(out, "total: %s, ", counted(int64_t(inputs.size()), "file", "files").c_str());
    printSums(out, total);
    std::fprintf(out, "; %d could not be read in full\n", failed);
    std::fflush(out);
    return failed ? 1 : 0;
}

int printInfo(const std::vector<std::string>& inputs) { return printInfo(inputs, stdout, consoleNotices()); }

}  // namespace quarlen
