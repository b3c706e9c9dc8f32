#include "app/runner.h"

#include "shell/shell.h"
#include "store/clock_time.h"
#include "store/utf8.h"

#include <thread>

namespace fs = std::filesystem;

namespace korvane {

void RunnerHooks::DefaultSleep(std::chrono::milliseconds ms) {
    std::this_thread::sleep_for(ms);
}

void RunnerHooks::DefaultOpen(const fs::path& file, const fs::path& folder) {
    shell::ShellOpen(file, "", shell::DefaultStartFolder(folder));
}

std::int64_t PauseMilliseconds(double time) {
    return DayFractionToMilliseconds(time);
}

namespace {

// The file of an application item, or nothing when its folder holds none.
std::optional<fs::path> ItemFile(const fs::path& batchFolder, const tqAppInfo& item,
                                 fs::path& itemFolder) {
    const auto folder = ItemFolder(batchFolder, item.Folder);
    if (!folder) {
        return std::nullopt;
    }
    const std::string name = FindItemFile(*folder);
    if (name.empty()) {
        return std::nullopt;
    }
    itemFolder = *folder;
    return *folder / utf8::ToPath(name);
}

} // namespace

void LaunchBatch(const ProgramFiles& files, std::string_view name, const RunnerHooks& hooks) {
    // Our own copy: the caller's text may change while events run between items.
    const std::string batchName(name);
    if (batchName.empty()) {
        return;
    }
    const fs::path batchFolder = BatchFolder(files, batchName);
    tqAppInfo item;
    for (int n = 0;; ++n) {
        // Read afresh for every item: the catalogue may change while we run.
        const std::string entry = files.catalogue.ReadText(batchName, ItemKey(n), "");
        if (entry.empty()) {
            return;
        }
        DecodeItemEntry(entry, item);
        if (item.Kind == TItemKind::ikFile && item.Active) {
            fs::path itemFolder;
            const auto file = ItemFile(batchFolder, item, itemFolder);
            if (!file) {
                return;
            }
            hooks.open(*file, itemFolder);
        }
        hooks.processMessages();
        if (item.Kind == TItemKind::ikInterval && item.Active) {
            hooks.sleep(std::chrono::milliseconds(PauseMilliseconds(item.Time)));
        }
    }
}

void LaunchItem(const ProgramFiles& files, std::string_view batchName, int index,
                const RunnerHooks& hooks) {
    if (index < 0) {
        return;
    }
    const std::string entry = files.catalogue.ReadText(batchName, ItemKey(index), "");
    if (entry.empty()) {
        return;
    }
    tqAppInfo item;
    DecodeItemEntry(entry, item);
    if (item.Kind != TItemKind::ikFile) {
        return;
    }
    fs::path itemFolder;
    if (const auto file = ItemFile(BatchFolder(files, batchName), item, itemFolder)) {
        hooks.open(*file, itemFolder);
    }
}

} // namespace korvane
