// The session's own start on Windows: the user's Run values and Startup
// folder, switched off and on as Task Manager does, with the user's
// StartupApproved flags. Every user's entries (HKLM, the common Startup
// folder) are left alone: switching those off needs an administrator.
#include "shell/session_autostart.h"

#include "shell/shell_link_windows.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/utf8.h"
#include "store/wide_text_windows.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

using win32::Narrow;
using win32::Widen;

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kApprovedBase =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
constexpr const wchar_t* kOwnRunValue = L"Korvane"; // the startup menu's own entry
// Ids: the StartupApproved key's name, a backslash, the value's name there.
constexpr const char* kRunKind = "Run";
constexpr const char* kFolderKind = "StartupFolder";

class Key {
  public:
    Key(const std::wstring& path, REGSAM access, bool create) {
        const LONG rc = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                                 access, nullptr, &key_, nullptr)
                               : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key_);
        if (rc != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~Key() {
        if (key_) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

struct Id {
    std::string kind;  // kRunKind or kFolderKind
    std::wstring name; // the value or file name
};

std::string MakeId(const char* kind, const std::wstring& name) {
    return std::string(kind) + "\\" + Narrow(name);
}

Id SplitId(const std::string& id) {
    const std::size_t cut = id.find('\\');
    if (cut == std::string::npos) {
        throw Error("\"" + id + "\" is no entry of the session's start");
    }
    return {id.substr(0, cut), Widen(id.substr(cut + 1))};
}

std::optional<std::string> ReadApproval(const Id& id) {
    const Key key(kApprovedBase + Widen(id.kind), KEY_QUERY_VALUE, false);
    DWORD type = 0, size = 0;
    if (!key.get() || RegQueryValueExW(key.get(), id.name.c_str(), nullptr, &type, nullptr,
                                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    if (RegQueryValueExW(key.get(), id.name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    bytes.resize(size);
    return bytes;
}

// Task Manager's rule: an odd first byte is switched off.
bool SwitchedOff(const Id& id) {
    const auto bytes = ReadApproval(id);
    return bytes && !bytes->empty() && (static_cast<unsigned char>((*bytes)[0]) & 1) != 0;
}

void WriteApproval(const Id& id, const std::optional<std::string>& bytes) {
    const Key key(kApprovedBase + Widen(id.kind), KEY_SET_VALUE, true);
    LONG rc = ERROR_ACCESS_DENIED;
    if (key.get()) {
        rc = bytes ? RegSetValueExW(key.get(), id.name.c_str(), 0, REG_BINARY,
                                    reinterpret_cast<const BYTE*>(bytes->data()),
                                    static_cast<DWORD>(bytes->size()))
                   : RegDeleteValueW(key.get(), id.name.c_str());
        if (!bytes && rc == ERROR_FILE_NOT_FOUND) {
            rc = ERROR_SUCCESS;
        }
    }
    if (rc != ERROR_SUCCESS) {
        throw Error("Unable to write the StartupApproved flag of \"" + Narrow(id.name) +
                    "\": " + std::system_category().message(static_cast<int>(rc)));
    }
}

// Switched off as Task Manager writes it: 3, three zero bytes, the time.
const std::string kOffFlagStart("\x03\0\0\0", 4);

std::string OffFlag() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    std::string bytes = kOffFlagStart;
    bytes.append(reinterpret_cast<const char*>(&now), sizeof now);
    return bytes;
}

// Whether a flag is one OffFlag wrote, at whatever time: what older
// versions kept holds no copy of the flag they wrote.
bool LooksTaken(const std::string& flag) {
    return flag.size() == kOffFlagStart.size() + sizeof(FILETIME) &&
           flag.compare(0, kOffFlagStart.size(), kOffFlagStart) == 0;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

std::string Unhex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    }
    return out;
}

// What keep holds for a taken entry: its name, the flag it had ("-": none),
// then the flag taking wrote (older versions left that line out).
fs::path KeptFile(const fs::path& keep, const std::string& id) {
    return keep / (Hex(id) + ".taken");
}

std::wstring ExpandVariables(const std::wstring& text) {
    const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    std::wstring out(size, L'\0');
    if (size == 0 || ExpandEnvironmentStringsW(text.c_str(), out.data(), size) == 0) {
        return text;
    }
    out.resize(size - 1);
    return out;
}

void ListRunValues(std::vector<SessionStart>& starts) {
    const Key key(kRunKey, KEY_QUERY_VALUE, false);
    if (!key.get()) {
        return;
    }
    for (DWORD i = 0;; ++i) {
        std::wstring name(16384, L'\0');
        DWORD nameSize = static_cast<DWORD>(name.size()), type = 0, size = 0;
        const LONG rc =
            RegEnumValueW(key.get(), i, name.data(), &nameSize, nullptr, &type, nullptr, &size);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        name.resize(nameSize);
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
            _wcsicmp(name.c_str(), kOwnRunValue) == 0 || SwitchedOff({kRunKind, name})) {
            continue;
        }
        std::wstring command(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(command.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(command.data()), &bytes) != ERROR_SUCCESS) {
            continue;
        }
        command.resize(wcsnlen(command.c_str(), command.size()));
        SessionStart start;
        start.id = MakeId(kRunKind, name);
        start.name = Narrow(name);
        start.command = Narrow(type == REG_EXPAND_SZ ? ExpandVariables(command) : command);
        start.detail = start.command;
        starts.push_back(std::move(start));
    }
}

void ListStartupFolder(std::vector<SessionStart>& starts) {
    const fs::path folder = win32link::KnownFolder(FOLDERID_Startup);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::wstring file = it->path().filename().wstring();
        if (!it->is_regular_file(ec) || _wcsicmp(file.c_str(), L"desktop.ini") == 0 ||
            SwitchedOff({kFolderKind, file})) {
            continue;
        }
        SessionStart start;
        start.id = MakeId(kFolderKind, file);
        start.name = utf8::FromPath(it->path().stem());
        start.file = it->path();
        start.detail = utf8::FromPath(it->path());
        starts.push_back(std::move(start));
    }
}

} // namespace

std::vector<SessionStart> ListSessionStarts() {
    std::vector<SessionStart> starts;
    ListRunValues(starts);
    ListStartupFolder(starts);
    std::stable_sort(starts.begin(), starts.end(),
                     [](const SessionStart& a, const SessionStart& b) {
                         return utf8::FoldCase(a.name) < utf8::FoldCase(b.name);
                     });
    return starts;
}

void TakeFromSession(const SessionStart& entry, const fs::path& keep) {
    const Id id = SplitId(entry.id);
    const auto before = ReadApproval(id);
    const std::string off = OffFlag();
    std::error_code ec;
    fs::create_directories(keep, ec);
    try {
        ReplaceFileLocked(KeptFile(keep, entry.id), entry.name + "\n" +
                                                        (before ? Hex(*before) : std::string("-")) +
                                                        "\n" + Hex(off) + "\n");
    } catch (const std::exception& error) {
        throw Error("Cannot keep what giving back needs in " + utf8::FromPath(keep) + ": " +
                    error.what());
    }
    try {
        WriteApproval(id, off);
    } catch (...) {
        fs::remove(KeptFile(keep, entry.id), ec);
        throw;
    }
}

std::vector<TakenStart> ListTaken(const fs::path& keep) {
    std::vector<TakenStart> taken;
    std::error_code ec;
    for (fs::directory_iterator it(keep, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != ".taken") {
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        TakenStart t;
        t.id = Unhex(utf8::FromPath(it->path().stem()));
        std::getline(in, t.name);
        taken.push_back(std::move(t));
    }
    std::sort(taken.begin(), taken.end(),
              [](const TakenStart& a, const TakenStart& b) { return a.id < b.id; });
    return taken;
}

void GiveBackToSession(const std::string& id, const fs::path& keep) {
    const fs::path kept = KeptFile(keep, id);
    std::ifstream in(kept, std::ios::binary);
    std::string name, before, written;
    if (!in || !std::getline(in, name) || !std::getline(in, before)) {
        throw Error("\"" + id + "\" was not taken from the session's start");
    }
    const bool keptWritten = static_cast<bool>(std::getline(in, written)) && !written.empty();
    in.close();
    const Id entry = SplitId(id);
    const std::optional<std::string> original =
        before == "-" ? std::nullopt : std::optional<std::string>(Unhex(before));
    const std::optional<std::string> now = ReadApproval(entry);
    const bool asTaken = now && (keptWritten ? *now == Unhex(written) : LooksTaken(*now));
    if (!asTaken && now != original) {
        // Switched on or off again since, or its flag removed.
        throw Error("The start of \"" + Narrow(entry.name) +
                    "\" was changed since Korvane switched it off (in Task Manager, say), and "
                    "giving it back would overwrite that change; nothing was changed. Task "
                    "Manager's Startup tab switches it on again.");
    }
    if (asTaken) {
        WriteApproval(entry, original);
    }
    std::error_code ec;
    fs::remove(kept, ec);
}

} // namespace korvane::shell
