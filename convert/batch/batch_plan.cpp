// Which files a batch converts, and where their outputs go.
#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "convert/batch/batch_plan.h"
#include "convert/batch/batch_texts.h"
#include "convert/run/run.h"
#include "convert/batch/paths.h"

namespace quarlen {

namespace fs = std::filesystem;

namespace {

bool isRsrName(const fs::path& p) { return hasExtension(toText(p.filename()).c_str(), ".rsr"); }

// NAME.rsr becomes NAME.obj (or NAME.glb): the name without its last four
// characters, and the extension.
fs::path outputName(const fs::path& in, const char* extension) {
    return toPath(withExtension(toText(in.filename()), extension));
}

// The key under which two outputs are the same file. Windows' file names
// ignore letter case.
std::string outputKey(const fs::path& out) {
    std::string key = toText(fs::absolute(out).lexically_normal());
#ifdef _WIN32
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
#endif
    return key;
}

struct Found {
    fs::path file;      // the file's path
    fs::path relative;  // its path below the folder operand, or its name alone
};

// The .rsr files of folder dir, and of the folders below it when
// recursive (not through links to folders), sorted by path, with the links
// named so that lead nowhere. Each folder that cannot be read, dir among
// them, goes to unread. Either, left out, would vanish without a word.
void listFolder(const fs::path& dir, bool recursive, std::vector<Found>& files, std::vector<fs::path>& unread) {
    std::vector<fs::path> folders{dir};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code fe;
            if (recursive && it->is_directory(fe) && !it->is_symlink(fe))
                folders.push_back(it->path());
            else if (isRsrName(it->path()) && (it->is_regular_file(fe) || (it->is_symlink(fe) && !it->exists(fe))))
                files.push_back({it->path(), it->path().lexically_relative(dir)});  // a link to nothing fails when opened
        }
        if (ec) unread.push_back(folder);
    }
    std::sort(files.begin(), files.end(), [](const Found& a, const Found& b) { return a.file < b.file; });
    std::sort(unread.begin(), unread.end());
}

}  // namespace

std::vector<BatchItem> planBatch(const std::vector<std::string>& operands, const BatchSettings& s) {
    std::vector<BatchItem> items;
    std::map<std::string, std::string> taken;  // output key -> the input that has it
    const fs::path outDir = toPath(s.outputDir);

    auto add = [&](const Found& f) {
        BatchItem item;
        item.in = toText(f.file);
        const fs::path name = outputName(f.file, s.extension);
        const fs::path out = s.outputDir.empty() ? f.file.parent_path() / name : outDir / f.relative.parent_path() / name;
        item.out = toText(out);
        const fs::path picture = s.pictureExtension ? out.parent_path() / outputName(f.file, s.pictureExtension) : "";
        item.picture = toText(picture);
        // Each output is taken by its first input; a later one that clashes
        // on either makes neither.
        for (const fs::path& made : {out, picture}) {
            if (made.empty() || !item.problem.empty()) continue;
            if (const auto at = taken.find(outputKey(made)); at != taken.end())
                item.problem = sameOutputText(toText(made), at->second);
        }
        std::error_code ec;
        if (item.problem.empty()) {
            for (const fs::path& made : {out, picture})
                if (!made.empty()) taken.emplace(outputKey(made), item.in);
            item.skip = !s.force && fs::exists(out, ec);
            item.skipPicture = !s.force && !picture.empty() && fs::exists(picture, ec);
        }
        items.push_back(std::move(item));
    };

    auto refuse = [&](const std::string& operand, std::string why) {
        BatchItem item;
        item.in = operand;
        item.problem = std::move(why);
        items.push_back(std::move(item));
    };

    auto addOperand = [&](const std::string& operand) {
        const fs::path p = toPath(operand);
        std::error_code ec;
        const fs::file_status st = fs::status(p, ec);
        if (fs::is_directory(st)) {
            std::vector<Found> files;
            std::vector<fs::path> unread;
            listFolder(p, s.recursive, files, unread);
            for (const fs::path& folder : unread) refuse(folder == p ? operand : toText(folder), "cannot read the folder");
            for (const Found& f : files) add(f);
        } else if (fs::exists(st) && isRsrName(p)) {  // a pipe named as a file is taken too
            add({p, p.filename()});
        } else {
            const char* why = fs::exists(st) ? "not a folder or an .rsr file"
                                             : "no such file or folder";
            refuse(operand, why);
        }
    };

    for (const std::string& operand : operands) {
        // A name the system cannot take (not UTF-8 on Windows) fails alone.
        try {
            addOperand(operand);
        } catch (const std::exception& e) {
            refuse(operand, std::string("cannot use this name: ") + e.what());
        }
    }
    return items;
}

}  // namespace quarlen
