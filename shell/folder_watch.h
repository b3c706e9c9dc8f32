#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

namespace detail {
struct FolderWatchFaults;
}

// Watches a folder tree on a worker thread for files and folders that
// appear, disappear or change name (not for writes into files). Changes
// close together are folded: onChange runs on the worker, at most once per
// quiet spell of a few milliseconds. Folders made later are watched too; the
// tree may be deleted and made again. Where the system loses events or the
// watch itself fails, a change is reported and the watch is set up again
// (onError tells when it cannot be, for now). Destroying the watch stops
// the worker.
class FolderWatch {
  public:
    FolderWatch(std::filesystem::path folder, std::function<void()> onChange,
                std::function<void(const std::string& message)> onError = {});
    // Narrowed (see Narrow) from the start: the whole tree is never walked.
    FolderWatch(std::filesystem::path folder, const std::filesystem::path& subtree,
                std::function<void()> onChange,
                std::function<void(const std::string& message)> onError = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // From now on only the tree's own folder and the one subtree below it
    // (which need not exist yet; empty: none) must be watched: what changes
    // elsewhere in the tree may go unreported. Where a watch costs no more
    // for a large tree (Windows watches a tree in one), all of it stays
    // watched; on inotify each folder costs a watch, and a system allows
    // only so many.
    void Narrow(const std::filesystem::path& subtree);

    class Impl;

  private:
    // Makes faults for the watch's tests (shell/folder_watch_faults.h).
    friend struct detail::FolderWatchFaults;

    std::unique_ptr<Impl> impl_;
};

} // namespace korvane
