#pragma once

// What an application item waits for before the next item starts. Kept in
// the batch's section under a key named by the item's folder ("Wait417"),
// so that it follows the item wherever the Item keys move it, and readers
// that know only the Item keys pass over it.

#include "store/batch_edit.h"
#include "store/catalogue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

enum class WaitKind : std::uint8_t {
    None,   // go on at once
    Window, // until a window of it appears
    Ended,  // until it has ended
    Path,   // until a path exists
    Port,   // until a TCP port on this machine accepts connections
};

inline constexpr int kDefaultWaitSeconds = 60;
inline constexpr int kMaxWaitSeconds = 24 * 60 * 60;

struct ItemWait {
    WaitKind kind = WaitKind::None;
    int limitSeconds = kDefaultWaitSeconds; // then the batch goes on
    std::string target;                     // the path, or the port number
    bool operator==(const ItemWait&) const = default;
};

// "Wait" + the folder's number; "" for a folder field that is no plain
// number (such an item cannot wait).
std::string WaitKey(std::string_view folderField);

// "Window;60", "Ended;60", "Path;60;/mnt/data", "Port;60;5432"; "" for None.
std::string EncodeWait(const ItemWait& wait);
// Anything not understood reads as None: a later version's kinds go on at once.
ItemWait DecodeWait(std::string_view text);

// Why a wait cannot be kept as it is; nullopt when it can.
std::optional<std::string> WaitProblem(const ItemWait& wait);

// The wait of the application item whose entry names folderField.
ItemWait ReadItemWait(const TIniFile& catalogue, std::string_view batch,
                      std::string_view folderField);

// Sets what the application item whose entry names folderField waits for,
// wherever it has moved. Throws NoSuchBatch or ItemChanged when the batch or
// the item is gone (another program changed it), Error when the folder is no
// plain number, or for a wait WaitProblem refuses.
void SetItemWait(ProgramFiles& files, const BatchRef& batch, std::string_view folderField,
                 const ItemWait& wait);

// The position of the application item whose entry names the folder
// (written "417\" or "417/"); -1 when none does.
int FindApplicationItem(const TIniFile& catalogue, std::string_view batch,
                        std::string_view folderField);

// In the item list's words: "waits for its window", "waits until it ends",
// "waits for /mnt/data", "waits for port 5432"; "" for None.
std::string WaitSummary(const ItemWait& wait);

// A time limit for people: "1 min", "90 s", "2 h".
std::string LimitText(int seconds);

} // namespace korvane
