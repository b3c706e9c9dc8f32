#include "app/runner.h"

#include "app/item_row.h"
#include "shell/shell.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/utf8.h"

#include <cstdio>

namespace fs = std::filesystem;

namespace korvane {

void RunnerHooks::DefaultSleep(std::chrono::milliseconds ms) {
    (void)shell::SleepUnlessCancelled(ms);
}

shell::OpenResult RunnerHooks::DefaultOpen(const fs::path& file, const fs::path& folder) {
    return shell::ShellOpen(file, "", shell::DefaultStartFolder(folder));
}

std::int64_t PauseMilliseconds(double time) {
    return DayFractionToMilliseconds(time);
}

namespace {

// What an item that has not been found is called: its folder's name.
std::string UnfoundName(const tqAppInfo& item) {
    std::string name = item.Folder;
    while (!name.empty() && (name.back() == '\\' || name.back() == '/')) {
        name.pop_back();
    }
    return "folder " + utf8::DisplayFileName(name);
}

ItemRecord NotFound(int n, const fs::path& batchFolder, const tqAppInfo& item) {
    ItemRecord record{.index = n, .outcome = ItemOutcome::NotFound, .name = UnfoundName(item)};
    auto folder = ItemFolder(batchFolder, item.Folder);
    if (folder && !folder->has_filename()) {
        folder = folder->parent_path(); // no separator at the end, as people write it
    }
    record.detail = folder ? "no file in " + utf8::FromPath(*folder)
                           : "its folder \"" + item.Folder + "\" lies outside the batch's folder";
    return record;
}

} // namespace

std::string LengthText(std::int64_t ms) {
    const std::int64_t s = ms / 1000, rest = ms % 1000;
    std::string text;
    if (s >= 3600) {
        text = std::to_string(s / 3600) + " h " + std::to_string(s / 60 % 60) + " min ";
    } else if (s >= 60) {
        text = std::to_string(s / 60) + " min ";
    }
    text += std::to_string(s % 60);
    if (rest != 0) {
        char frac[8];
        std::snprintf(frac, sizeof frac, ".%03d", static_cast<int>(rest));
        std::string f = frac;
        while (f.back() == '0') {
            f.pop_back();
        }
        text += f;
    }
    return text + " s";
}

std::string WaitDetail(const ItemWait& wait, const shell::Readiness& readiness) {
    std::string what;
    switch (wait.kind) {
    case WaitKind::None:
        break;
    case WaitKind::Window:
        what = "for its window";
        break;
    case WaitKind::Ended:
        what = "until it ended";
        break;
    case WaitKind::Path:
        what = "for " + wait.target;
        break;
    case WaitKind::Port:
        what = "for port " + wait.target;
        break;
    }
    const std::string after = LengthText(readiness.waited.count());
    switch (readiness.state) {
    case shell::ReadyState::Ready:
        return what + ": " + readiness.how + " after " + after;
    case shell::ReadyState::TimedOut:
        return what + ": gave up after " + LimitText(wait.limitSeconds) + ", " + readiness.how;
    case shell::ReadyState::Cancelled:
        return what + ": cancelled after " + after;
    case shell::ReadyState::CannotTell:
        return what + ": waited " + LimitText(wait.limitSeconds) + ", as " + readiness.how;
    }
    return what;
}

RunEnd LaunchBatch(const ProgramFiles& files, std::string_view name, const RunnerHooks& hooks) {
    // Our own copy: the caller's text may change while events run between items.
    const std::string batchName(name);
    if (batchName.empty()) {
        return RunEnd::Finished;
    }
    // The batch is the one of this ID: another batch given its name meanwhile is not.
    const std::string id = files.catalogue.ReadText(batchName, "ID", "");
    const fs::path batchFolder = BatchFolder(files, batchName);
    tqAppInfo item;
    for (int n = 0;; ++n) {
        // Read afresh for every item: the catalogue may change while we run.
        std::string entry;
        {
            const TIniFile::HeldVersion oneVersion(files.catalogue);
            if (!files.catalogue.HasSection(batchName) ||
                files.catalogue.ReadText(batchName, "ID", "") != id) {
                return RunEnd::BatchGone;
            }
            entry = files.catalogue.ReadText(batchName, ItemKey(n), "");
        }
        if (entry.empty()) {
            return RunEnd::Finished;
        }
        DecodeItemEntry(entry, item);
        ItemRecord record{.index = n};
        ItemWait wait;
        fs::path itemFile;
        if (item.Kind == TItemKind::ikFile) {
            const ItemFileLookup found = LookUpItemFile(batchFolder, item.Folder);
            if (found.state == ItemFileLookup::State::Empty && item.Active) {
                hooks.item(NotFound(n, batchFolder, item));
                return RunEnd::NotFound;
            }
            if (found.state == ItemFileLookup::State::Found) {
                record.name = ItemCaption(found.file);
                record.detail = utf8::FromPath(found.file);
            } else {
                record.name = UnfoundName(item);
            }
            if (!item.Active) {
                record.outcome = ItemOutcome::Skipped;
                record.detail = "switched off";
            } else if (found.state == ItemFileLookup::State::Refused) {
                record.outcome = ItemOutcome::FailedToStart;
                record.detail = found.reason;
            } else {
                const shell::OpenResult opened = hooks.open(found.file, found.folder);
                record.outcome = opened.started ? ItemOutcome::Started : ItemOutcome::FailedToStart;
                record.processId = opened.processId;
                if (!opened.started) {
                    record.detail = opened.failure;
                } else {
                    wait = ReadItemWait(files.catalogue, batchName, item.Folder);
                    itemFile = found.file;
                }
            }
        } else if (item.Kind == TItemKind::ikInterval) {
            record.name = "pause";
            record.outcome = item.Active ? ItemOutcome::Paused : ItemOutcome::Skipped;
            record.detail = item.Active ? LengthText(PauseMilliseconds(item.Time)) : "switched off";
        } else {
            record.name = "item " + std::to_string(n + 1);
            record.outcome = ItemOutcome::Skipped;
            record.detail = "an item of a kind this version does not know: " + entry;
        }
        hooks.item(record);
        hooks.processMessages();
        if (item.Kind == TItemKind::ikInterval && item.Active) {
            hooks.sleep(std::chrono::milliseconds(PauseMilliseconds(item.Time)));
        }
        if (wait.kind != WaitKind::None && !hooks.cancelled()) {
            const shell::Readiness ready =
                hooks.wait(wait, record.processId,
                           wait.kind == WaitKind::Window ? shell::ReadWindowClass(itemFile) : "");
            hooks.item({.index = n,
                        .outcome = ItemOutcome::Waited,
                        .name = record.name,
                        .processId = record.processId,
                        .detail = WaitDetail(wait, ready)});
            hooks.processMessages();
        }
        if (hooks.cancelled()) {
            return RunEnd::Cancelled;
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
    const ItemFileLookup found = LookUpItemFile(BatchFolder(files, batchName), item.Folder);
    if (found.state == ItemFileLookup::State::Refused) {
        throw Error("Korvane does not start " + found.reason);
    }
    if (found.state == ItemFileLookup::State::Found) {
        (void)hooks.open(found.file, found.folder);
    }
}

} // namespace korvane
