#pragma once

#include "app/launch_report.h"
#include "shell/readiness.h"
#include "shell/shell.h"
#include "store/catalogue.h"
#include "store/item_wait.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace korvane {

// The steps of a run that depend on where it runs: a window mode lets its
// event loop run between items, tests watch what would happen.
struct RunnerHooks {
    std::function<void()> processMessages = [] {};
    std::function<void(std::chrono::milliseconds)> sleep = DefaultSleep;
    std::function<shell::OpenResult(const std::filesystem::path& file,
                                    const std::filesystem::path& folder)>
        open = DefaultOpen;
    // Told what became of each item, before a pause or a wait; the
    // record's time is the caller's to fill.
    std::function<void(const ItemRecord&)> item = [](const ItemRecord&) {};
    // Waits until a started item is ready for the next one.
    std::function<shell::Readiness(const ItemWait& wait, long long processId,
                                   const std::string& windowClass)>
        wait = shell::WaitUntilReady;
    // Whether the run is to stop, looked at after every pause and wait.
    std::function<bool()> cancelled = shell::WaitsCancelled;

    static void DefaultSleep(std::chrono::milliseconds ms);
    static shell::OpenResult DefaultOpen(const std::filesystem::path& file,
                                         const std::filesystem::path& folder);
};

enum class RunEnd {
    Finished,
    NotFound,  // at an active application whose folder holds no file
    Cancelled, // during a pause or a wait
    BatchGone, // another program renamed, deleted or replaced the batch meanwhile
};

// Opens every active application item of the batch in order, waits out
// every active pause and waits for what each started item waits for. Ends
// early at an active application whose folder holds no file, when cancelled,
// and when the batch is no longer the one it began with. An item whose folder
// or file is a link or no regular file is refused, never followed. Throws
// ConvertError for a pause with a bad time.
RunEnd LaunchBatch(const ProgramFiles& files, std::string_view batchName,
                   const RunnerHooks& hooks = {});

// Opens the application item at index, active or not; pauses and positions
// past the end do nothing. Throws Error for an item whose folder or file is
// a link or no regular file: it is not followed.
void LaunchItem(const ProgramFiles& files, std::string_view batchName, int index,
                const RunnerHooks& hooks = {});

// A pause's length: its time of day in whole milliseconds.
std::int64_t PauseMilliseconds(double time);

// A length for people: "5 s", "1 min 30 s", "1 h 0 min 5 s", "0.25 s".
std::string LengthText(std::int64_t ms);

// What a wait's record says: "for its window: it appeared after 2.03 s".
std::string WaitDetail(const ItemWait& wait, const shell::Readiness& readiness);

} // namespace korvane
