#pragma once

// The one file layer: every open, read, write, copy, listing and removal of
// the program's own files goes through here. Below the state folder no
// symbolic link is ever followed, so no command can reach (or remove)
// anything outside it; only regular files are read, and opening one never
// blocks (a named pipe in place of a file is refused, not waited on); every
// descriptor is closed on exec; every failure is reported.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace korvane {

// A file operation that failed. what() names the file and says why, for
// people: "/home/me/batches.lst: it is not a regular file".
class FileError : public std::system_error {
  public:
    FileError(std::error_code code, const std::filesystem::path& path, const std::string& reason);
    // The reason alone ("No space left on device").
    const std::string& Reason() const { return reason_; }
    const char* what() const noexcept override { return text_.c_str(); }

  private:
    std::string reason_;
    std::string text_;
};

// The reasons the layer gives of its own.
inline constexpr const char* kNotRegular = "it is not a regular file";
inline constexpr const char* kSymlinkInside =
    "it is a symbolic link, and Korvane follows none inside its state folder";

// Makes the folder a guarded one: below it, no symbolic link is followed at
// any step of a path. Only a file directly in it (batches.lst, the settings)
// may be a link to a file elsewhere, read and written as that file. The
// folder itself may be reached through links. Guarding lasts for the process.
void GuardFolder(const std::filesystem::path& folder);

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
// nullopt only when there is no such file. Throws FileError when it exists
// but cannot be read or is not a regular file: a rewrite must never take such
// a file for an empty one.
std::optional<FileSnapshot> ReadFileSnapshot(const std::filesystem::path& path);

// Replaces the file with contents in one step: other readers see either the
// whole old or the whole new file. Returns the identity of the new file.
// Throws FileError on failure, leaving the old file and no temporary;
// a file the user made read-only counts as a failure. The caller holds the
// FolderLock of the file's folder: temporaries left by a writer that died are
// removed here, and only the lock tells them from another writer's live one.
FileIdentity ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents);

// ReplaceFileAtomically under the folder's lock, for files written whole
// without a read-modify-write of their own (links, desktop entries).
FileIdentity ReplaceFileLocked(const std::filesystem::path& path, std::string_view contents);

// What is at a path, the last step never followed.
enum class EntryKind { Missing, File, Folder, Link, Other };
EntryKind KindOf(const std::filesystem::path& path);

struct FolderEntry {
    std::filesystem::path name;
    EntryKind kind = EntryKind::Other;
};
// The entries of a folder in the order the system lists them; none for a
// missing folder. Throws FileError for anything else that is no folder (a
// link to one included) or that cannot be read.
std::vector<FolderEntry> ListFolder(const std::filesystem::path& folder);

// Makes the folder and the folders above it that are missing. Throws
// FileError, with the system's reason, when one cannot be made.
void MakeFolders(const std::filesystem::path& folder);

// Removes a file, a link (the link itself, never what it names) or an
// empty folder. False when there was nothing to remove, or when a folder
// still holds something (it stays, as folders with the user's files do).
// Throws FileError when the system refuses.
bool RemoveEntry(const std::filesystem::path& path);

// Copies the regular file source into a new file dest, which must not
// exist yet, and makes it durable. Throws FileError with the reason of the
// step that failed (the source no regular file, the disk full, ...); then
// nothing of dest is left.
void CopyNewFile(const std::filesystem::path& source, const std::filesystem::path& dest);

// A new file written as it goes (a launch report): made exclusively, never
// through a link. Every write reaches the file before it returns.
class GrowingFile {
  public:
    GrowingFile() = default;
    ~GrowingFile();
    GrowingFile(const GrowingFile&) = delete;
    GrowingFile& operator=(const GrowingFile&) = delete;

    // Throws FileError; EEXIST when the file is there already.
    void Create(const std::filesystem::path& path);
    // Throws FileError; the file keeps what was written before.
    void Append(std::string_view bytes);
    void Close();
    bool IsOpen() const { return handle_ != -1; }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::intptr_t handle_ = -1;
    std::filesystem::path path_;
};

// Holds an exclusive advisory lock on a folder, so that read-modify-write
// cycles on files in it do not overwrite each other. A thread that holds the
// lock may take it again (the inner one costs nothing). Never fails: when the
// lock cannot be had the holder goes on unlocked.
class FolderLock {
  public:
    enum class Wait { UntilHad, No };
    explicit FolderLock(const std::filesystem::path& folder, Wait wait = Wait::UntilHad);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Whether the lock is held (Wait::No: false while another holds it).
    bool Held() const { return handle_ != -1 || inner_; }

    // Told with true when a lock has been waited for a while (another
    // process is writing), and with false once it is had. One per process.
    using WaitNotice = std::function<void(bool waiting)>;
    static void SetWaitNotice(WaitNotice notice);

  private:
    std::intptr_t handle_ = -1; // the platform's handle of the lock this one took
    bool inner_ = false;        // an enclosing lock of this thread holds it
    std::uint64_t device_ = 0;  // which folder, where the platform needs to know
    std::uint64_t inode_ = 0;
};

} // namespace korvane
