#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// What tells one version of a file from another: every rewrite makes a new
// inode, and an edit in place changes size or modification time.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileSnapshot {
    FileIdentity identity;
    std::string bytes;
};

// Identity of the regular file at path; nullopt when there is none.
std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path);

// Contents of the regular file at path with the identity they were read under;
// nullopt only when there is no such file. Throws std::system_error when it
// exists but cannot be read (or is not a regular file): a rewrite must never
// take such a file for an empty one.
std::optional<FileSnapshot> ReadFileSnapshot(const std::filesystem::path& path);

// Replaces the file with contents in one step: other readers see either the
// whole old or the whole new file. Returns the identity of the new file.
// Throws std::system_error on failure, leaving the old file and no temporary;
// a file the user made read-only counts as a failure. The caller holds the
// FolderLock of the file's folder: temporaries left by a writer that died are
// removed here, and only the lock tells them from another writer's live one.
FileIdentity ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents);

// ReplaceFileAtomically under the folder's lock, for files written whole
// without a read-modify-write of their own (links, desktop entries).
FileIdentity ReplaceFileLocked(const std::filesystem::path& path, std::string_view contents);

// Holds an exclusive advisory lock on a folder, so that read-modify-write
// cycles on files in it do not overwrite each other. Never fails: when the
// lock cannot be had the holder goes on unlocked.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    std::intptr_t handle_ = -1; // the platform's handle of the held lock
};

} // namespace korvane
