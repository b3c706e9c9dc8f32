// The folder watch on ReadDirectoryChangesW. The folder above the tree is
// watched with its whole subtree, so the tree may appear, go and come back;
// only names inside the tree count.
#include "shell/folder_watch.h"

#include "shell/folder_watch_faults.h"

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace korvane {

namespace {

constexpr DWORD kFoldMs = 50;
constexpr DWORD kEvents = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;

bool SameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

class FolderWatch::Impl {
  public:
    Impl(fs::path folder, std::function<void()> onChange,
         std::function<void(const std::string&)> onError)
        : onChange_(std::move(onChange)), onError_(std::move(onError)) {
        folder = folder.lexically_normal();
        if (!folder.has_filename()) {
            folder = folder.parent_path(); // "Shortcuts\" names the folder itself
        }
        name_ = folder.filename().wstring();
        std::error_code ec;
        tree_ = fs::absolute(folder, ec);
        const fs::path parent = tree_.parent_path();
        dir_ =
            CreateFileW(parent.c_str(), FILE_LIST_DIRECTORY,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (dir_ == INVALID_HANDLE_VALUE || !stop_ || !done_) {
            Fail("The Shortcuts folder cannot be watched (error " + std::to_string(GetLastError()) +
                 ")");
            return;
        }
        worker_ = std::thread([this] { Run(); });
    }

    ~Impl() {
        if (stop_) {
            SetEvent(stop_);
        }
        if (worker_.joinable()) {
            worker_.join();
        }
        if (dir_ != INVALID_HANDLE_VALUE) {
            CloseHandle(dir_);
        }
        for (HANDLE h : {stop_, done_}) {
            if (h) {
                CloseHandle(h);
            }
        }
    }

  private:
    void Fail(const std::string& message) {
        if (!failed_.exchange(true) && onError_) {
            onError_(message);
        }
    }

    // True when a name the report holds lies in the tree (or is the tree).
    bool Concerns(const char* buffer, DWORD size) const {
        for (DWORD off = 0; off < size;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + off);
            const std::wstring_view name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            const std::wstring_view first = name.substr(0, name.find_first_of(L"\\/"));
            if (SameName(first, name_)) {
                return true;
            }
            if (info->NextEntryOffset == 0) {
                break;
            }
            off += info->NextEntryOffset;
        }
        return false;
    }

    // Some implementations of the subtree watch (Wine's) take in only the
    // folders opened after the watch began; one walk over the tree opens
    // them all. Windows itself needs none of it, and it costs one listing.
    void VisitTree() const {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(tree_, ec), end; !ec && it != end;
             it.increment(ec)) {
        }
    }

    void Run() {
        alignas(DWORD) static thread_local char buffer[64 * 1024];
        OVERLAPPED ov{};
        ov.hEvent = done_;
        bool pending = false;
        bool armed = false;
        for (;;) {
            ResetEvent(done_);
            if (!ReadDirectoryChangesW(dir_, buffer, sizeof buffer, TRUE, kEvents, nullptr, &ov,
                                       nullptr)) {
                Fail("The Shortcuts folder cannot be watched (error " +
                     std::to_string(GetLastError()) + ")");
                return;
            }
            if (!armed) {
                armed = true;
                VisitTree();
            }
            for (;;) {
                const HANDLE waits[2] = {stop_, done_};
                // While changes keep coming, wait for a quiet spell before
                // reporting them all as one.
                const DWORD got =
                    WaitForMultipleObjects(2, waits, FALSE, pending ? kFoldMs : INFINITE);
                if (got == WAIT_OBJECT_0) {
                    CancelIoEx(dir_, &ov);
                    DWORD ignored = 0;
                    GetOverlappedResult(dir_, &ov, &ignored, TRUE);
                    return;
                }
                if (got == WAIT_TIMEOUT) {
                    pending = false;
                    onChange_();
                    continue;
                }
                DWORD size = 0;
                if (!GetOverlappedResult(dir_, &ov, &size, FALSE)) {
                    Fail("The Shortcuts folder cannot be watched any more (error " +
                         std::to_string(GetLastError()) + ")");
                    return;
                }
                // An empty report means the buffer overflowed: anything may have changed.
                pending = size == 0 || Concerns(buffer, size) || pending;
                break;
            }
        }
    }

    std::wstring name_;
    fs::path tree_;
    std::function<void()> onChange_;
    std::function<void(const std::string&)> onError_;
    HANDLE dir_ = INVALID_HANDLE_VALUE;
    HANDLE stop_ = nullptr;
    HANDLE done_ = nullptr;
    std::atomic<bool> failed_{false};
    std::thread worker_;
};

FolderWatch::FolderWatch(fs::path folder, std::function<void()> onChange,
                         std::function<void(const std::string&)> onError)
    : impl_(std::make_unique<Impl>(std::move(folder), std::move(onChange), std::move(onError))) {}

// The whole tree is watched in one here: narrowing saves nothing.
FolderWatch::FolderWatch(fs::path folder, const fs::path&, std::function<void()> onChange,
                         std::function<void(const std::string&)> onError)
    : FolderWatch(std::move(folder), std::move(onChange), std::move(onError)) {}

FolderWatch::~FolderWatch() = default;

void FolderWatch::Narrow(const fs::path&) {}

// The faults its tests make are those of inotify.
bool detail::FolderWatchFaults::Apply(FolderWatch&, FolderWatchFaults&) {
    return false;
}

} // namespace korvane
