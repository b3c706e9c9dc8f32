#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace korvane {

// Watches a folder tree on a worker thread for files and folders that
// appear, disappear or change name (not for writes into files). Changes
// close together are folded: onChange runs on the worker, at most once per
// quiet spell of a few milliseconds. Folders made later are watched too; the
// tree may be deleted and made again. Destroying the watch stops the worker.
class FolderWatch {
  public:
    FolderWatch(std::filesystem::path folder, std::function<void()> onChange,
                std::function<void(const std::string& message)> onError = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    class Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace korvane
