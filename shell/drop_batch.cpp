// Files and folders dropped on the window, or named on the command line
// ("Open with", a drop on the program's icon): every .rsr file among them,
// folders walked to the bottom, becomes NAME.obj beside it; outputs that
// exist are left alone. The conversions run off the window's thread, the
// title shows how far they are, and one notice sums them up at the end.
#include "shell/drop_batch.h"

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "convert/batch/batch_run.h"
#include "convert/format/notice.h"
#include "shell/notice_msgbox.h"

using namespace quarlen;

namespace {

constexpr UINT msg_batch_progress = WM_APP + 1;  // wParam: files ended
constexpr UINT msg_batch_done = WM_APP + 2;
constexpr size_t failures_listed = 10;

struct Failure {
    std::string in, text;
};

// The batch in flight. The worker writes `ended` and `failures` only inside
// runBatch's callback; the window reads them after joining the worker.
struct DropBatch {
    HWND wn = NULL;
    const char* name = "";  // the window's title when no batch runs
    std::vector<BatchItem> items;
    BatchTotals totals;
    size_t ended = 0;
    std::vector<Failure> failures;
    std::thread worker;
};

DropBatch* running;

std::string utf8(const wchar_t* w)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL);
    if (n <= 1)
        return std::string();
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, NULL, NULL);
    s.resize(size_t(n - 1));
    return s;
}

void fileEnded(void* ctx, const BatchItem& item, const FileReport& report)
{
    DropBatch& b = *static_cast<DropBatch*>(ctx);
    ++b.ended;
    if (report.outcome == FileOutcome::failed && b.failures.size() < failures_listed)
        b.failures.push_back({item.in, report.notices.empty() ? std::string() : report.notices.front().text});
    PostMessageA(b.wn, msg_batch_progress, WPARAM(b.ended), 0);
}

void showProgress(const DropBatch& b, size_t ended)
{
    char title[64];
    std::snprintf(title, sizeof title, "%s - %u of %u", b.name, unsigned(ended), unsigned(b.items.size()));
    SetWindowTextA(b.wn, title);
}

void showSummary(const DropBatch& b)
{
    const BatchTotals& t = b.totals;
    std::string text = std::to_string(t.converted) + " converted, " + std::to_string(t.failed) + " failed, " +
                       std::to_string(t.skipped) + " skipped (their .obj files exist already).";
    if (!b.failures.empty()) {
        text += t.failed > int(b.failures.size()) ? "\n\nThe first failures:" : "\n\nFailures:";
        for (const Failure& f : b.failures)
            text += "\n" + f.in + ": " + f.text;
    }
    showNotice(text.c_str(), b.name, t.failed ? notice_warning : notice_plain);
}

}  // namespace

bool StartBatch(HWND wn, const std::vector<std::string>& paths, const char* name)
{
    if (running)
        return false;
    BatchSettings s;
    s.recursive = true;
    running = new DropBatch;
    running->wn = wn;
    running->name = name;
    running->items = planBatch(paths, s);
    showProgress(*running, 0);
    running->worker = std::thread([b = running] {
        BatchRun run;
        run.jobs = processorCount();
        run.done = fileEnded;
        run.ctx = b;
        b->totals = runBatch(b->items, run);
        PostMessageA(b->wn, msg_batch_done, 0, 0);
    });
    return true;
}

std::vector<std::string> DroppedPaths(HDROP drop)
{
    std::vector<std::string> paths;
    const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, NULL, 0);
    for (UINT i = 0; i < n; ++i) {
        std::wstring name(size_t(DragQueryFileW(drop, i, NULL, 0)) + 1, L'\0');
        DragQueryFileW(drop, i, name.data(), UINT(name.size()));
        paths.push_back(utf8(name.c_str()));
    }
    DragFinish(drop);
    return paths;
}

std::vector<std::string> CommandLinePaths()
{
    std::vector<std::string> paths;
    int argc = 0;
    if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        for (int i = 1; i < argc; ++i)
            paths.push_back(utf8(argv[i]));
        LocalFree(argv);
    }
    return paths;
}

bool BatchMessage(UINT iMessage, WPARAM S, bool& over)
{
    over = false;
    if (iMessage == msg_batch_progress) {
        if (running)
            showProgress(*running, size_t(S));
        return true;
    }
    if (iMessage != msg_batch_done || !running)
        return false;
    DropBatch* b = running;
    b->worker.join();
    showProgress(*b, b->ended);
    showSummary(*b);  // the batch lasts until its notice is dismissed
    running = nullptr;
    delete b;
    over = true;
    return true;
}
