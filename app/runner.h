#pragma once

#include "app/launch_report.h"
#include "shell/shell.h"
#include "store/catalogue.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
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
    // Told what became of each item, before a pause is waited out; the
    // record's time is the caller's to fill.
    std::function<void(const ItemRecord&)> item = [](const ItemRecord&) {};

    static void DefaultSleep(std::chrono::milliseconds ms);
    static shell::OpenResult DefaultOpen(const std::filesystem::path& file,
                                         const std::filesystem::path& folder);
};

// Opens every active application item of the batch in order and waits out
// every active pause. Ends early at an active application whose folder holds
// no file. Throws ConvertError for a pause with a bad time.
void LaunchBatch(const ProgramFiles& files, std::string_view batchName,
                 const RunnerHooks& hooks = {});

// Opens the application item at index, active or not; pauses and positions
// past the end do nothing.
void LaunchItem(const ProgramFiles& files, std::string_view batchName, int index,
                const RunnerHooks& hooks = {});

// A pause's length: its time of day in whole milliseconds.
std::int64_t PauseMilliseconds(double time);

} // namespace korvane
