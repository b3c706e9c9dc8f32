// The shell on Windows: ShellExecuteEx, the shell link object, the registry.
#include "shell/address.h"
#include "shell/shell.h"

#include "shell/shell_link_windows.h"

#include "shell/version_parts.h"
#include "store/errors.h"
#include "store/utf8.h"
#include "store/wide_text_windows.h"

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwctype>
#include <memory>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

using win32::Narrow;
using win32::Widen;
using namespace win32link;

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunValue = L"Korvane";
constexpr const wchar_t* kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr DWORD kLongPath = 32768;

// Windows file names may not hold these, nor be empty.
bool ValidFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("\\/:*?\"<>|\0", 10)) == std::string::npos;
}


class RegKey {
  public:
    RegKey(HKEY root, const wchar_t* path, REGSAM access, bool create) {
        if (create) {
            ok_ = RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, &key_, nullptr) ==
                  ERROR_SUCCESS;
        } else {
            ok_ = RegOpenKeyExW(root, path, 0, access, &key_) == ERROR_SUCCESS;
        }
    }
    ~RegKey() {
        if (ok_) {
            RegCloseKey(key_);
        }
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    explicit operator bool() const { return ok_; }
    HKEY get() const { return key_; }

    // A string value; "" when it is missing or of another type.
    std::wstring ReadString(const wchar_t* name) const {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
            return {};
        }
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                             &got) != ERROR_SUCCESS) {
            return {};
        }
        text.resize(got / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        return text;
    }

  private:
    HKEY key_ = nullptr;
    bool ok_ = false;
};

// The process's current folder set for a while and put back afterwards.
class DirectoryScope {
  public:
    explicit DirectoryScope(const std::wstring& dir) {
        if (dir.empty()) {
            return;
        }
        const DWORD n = GetCurrentDirectoryW(0, nullptr);
        old_.resize(n);
        if (n == 0 || GetCurrentDirectoryW(n, old_.data()) == 0 ||
            !SetCurrentDirectoryW(dir.c_str())) {
            old_.clear();
        }
    }
    ~DirectoryScope() {
        if (!old_.empty()) {
            SetCurrentDirectoryW(old_.c_str());
        }
    }
    DirectoryScope(const DirectoryScope&) = delete;
    DirectoryScope& operator=(const DirectoryScope&) = delete;

  private:
    std::wstring old_;
};

} // namespace

namespace {

OpenResult Execute(const std::wstring& target, const std::wstring& params, const std::wstring& dir,
                   int show) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The launch is finished before we return, so a direct launch may end
    // right after its last item.
    // No message box of the shell's ("File not found", "no program
    // configured"): a batch started at logon must not wait for a click.
    // The process handle says which process started, when one did (a
    // document handed to a running program starts none).
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = target.c_str();
    info.lpParameters = params.empty() ? nullptr : params.c_str();
    info.lpDirectory = dir.empty() ? nullptr : dir.c_str();
    info.nShow = show;
    // A link that names no working folder of its own starts its target in
    // the current folder, not in lpDirectory: make that the given one too.
    const DirectoryScope inDirectory(dir);
    OpenResult result;
    if (!ShellExecuteExW(&info)) {
        result.failure = SystemMessage(GetLastError());
        return result;
    }
    result.started = true;
    if (info.hProcess) {
        result.processId = GetProcessId(info.hProcess);
        CloseHandle(info.hProcess);
    }
    return result;
}

// A link to a program is started as the shell would start it (its target,
// arguments, folder and window state), but by us: the shell does not say
// for every link which process it started, and a wait needs to know.
std::optional<OpenResult> OpenProgramLink(const fs::path& file, const std::wstring& dir) {
    ComPtr<IShellLinkW> link = LoadShellLink(file);
    if (!link) {
        return std::nullopt;
    }
    const std::string target = LinkField(link.get(), [](IShellLinkW* l, wchar_t* buf, int size) {
        return l->GetPath(buf, size, nullptr, 0);
    });
    std::error_code ec;
    if (target.empty() || !IsProgramFile(utf8::ToPath(target)) ||
        !fs::is_regular_file(utf8::ToPath(target), ec)) {
        return std::nullopt; // a document, a folder, something only the shell knows
    }
    const std::string arguments = LinkField(link.get(), [](IShellLinkW* l, wchar_t* buf, int size) {
        return l->GetArguments(buf, size);
    });
    const std::string folder = LinkField(link.get(), [](IShellLinkW* l, wchar_t* buf, int size) {
        return l->GetWorkingDirectory(buf, size);
    });
    int show = SW_SHOWNORMAL;
    if (FAILED(link->GetShowCmd(&show))) {
        show = SW_SHOWNORMAL;
    }
    return Execute(fs::path(utf8::ToPath(target)).make_preferred().wstring(), Widen(arguments),
                   folder.empty() ? dir : fs::path(utf8::ToPath(folder)).make_preferred().wstring(),
                   show);
}

} // namespace

OpenResult ShellOpen(const fs::path& file, std::string_view parameters, const fs::path& directory) {
    ComScope com;
    const std::wstring dir = fs::path(directory).make_preferred().wstring();
    if (parameters.empty() && utf8::EqualFolded(utf8::FromPath(file.extension()), ".lnk")) {
        if (auto opened = OpenProgramLink(file, dir)) {
            return *opened;
        }
    }
    // An address ("https://…", "mailto:…") goes to the shell as it is; only
    // paths take backslashes.
    const std::wstring target = HasUrlScheme(utf8::FromPath(file))
                                    ? file.wstring()
                                    : fs::path(file).make_preferred().wstring();
    return Execute(target, Widen(parameters), dir, SW_SHOWNORMAL);
}

bool StartDetached(const fs::path& program, const std::vector<std::string>& arguments) {
    std::wstring line = QuoteArgument(fs::path(program).make_preferred().wstring());
    for (const std::string& a : arguments) {
        line += L" " + QuoteArgument(Widen(a));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool CreateCommandLink(const std::string& name, const std::string& command,
                       const fs::path& folder) {
    // The program is the first word, quoted or not, as CreateProcess reads it.
    const std::wstring line = Widen(command);
    std::size_t start = line.find_first_not_of(L" \t");
    if (!ValidFileName(name) || start == std::wstring::npos) {
        return false;
    }
    std::wstring program, arguments;
    if (line[start] == L'"') {
        const std::size_t close = line.find(L'"', start + 1);
        program = line.substr(start + 1, close == std::wstring::npos ? close : close - start - 1);
        start = close == std::wstring::npos ? line.size() : close + 1;
    } else {
        const std::size_t blank = line.find_first_of(L" \t", start);
        program = line.substr(start, blank == std::wstring::npos ? blank : blank - start);
        start = blank == std::wstring::npos ? line.size() : blank;
    }
    const std::size_t rest = line.find_first_not_of(L" \t", start);
    arguments = rest == std::wstring::npos ? std::wstring() : line.substr(rest);
    if (program.empty()) {
        return false;
    }
    ComScope com;
    ComPtr<IShellLinkW> link = NewShellLink();
    link->SetPath(program.c_str());
    link->SetArguments(arguments.c_str());
    link->SetWorkingDirectory(FolderOf(program).c_str());
    ComPtr<IPersistFile> file = PersistOf(link.get());
    const fs::path save = folder / utf8::ToPath(name + ".lnk");
    return file && SUCCEEDED(file->Save(fs::path(save).make_preferred().c_str(), TRUE));
}

void CreateItemLink(const fs::path& target, const fs::path& folder) {
    const std::string name = utf8::FromPath(target.filename());
    if (!ValidFileName(name)) {
        throw Error("\"" + utf8::FromPath(target) + "\" names no file to link to");
    }
    ComScope com;
    ComPtr<IShellLinkW> link = NewShellLink();
    const std::wstring path = fs::path(target).make_preferred().wstring();
    link->SetPath(path.c_str());
    link->SetWorkingDirectory(FolderOf(path).c_str());
    ComPtr<IPersistFile> file = PersistOf(link.get());
    const fs::path save = folder / utf8::ToPath(name + ".lnk");
    const HRESULT saved =
        file ? file->Save(fs::path(save).make_preferred().c_str(), FALSE) : E_NOINTERFACE;
    if (FAILED(saved)) {
        throw Error("Cannot make a link to " + utf8::FromPath(target) + ": " +
                    utf8::FromPath(save) + ": " + SystemMessage(static_cast<DWORD>(saved)));
    }
}

bool IsProgramFile(const fs::path& file) {
    std::wstring ext = file.extension().wstring();
    for (wchar_t& c : ext) {
        c = static_cast<wchar_t>(towlower(c));
    }
    std::error_code ec;
    return (ext == L".exe" || ext == L".com" || ext == L".bat" || ext == L".cmd") &&
           fs::is_regular_file(file, ec);
}

std::string VersionText(unsigned parts) {
    const std::wstring exe = ExecutablePath().wstring();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    if (size == 0) {
        return "";
    }
    std::string data(size, '\0');
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(exe.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return "";
    }
    return JoinVersionParts({HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                             HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)},
                            parts);
}

const char* const kAutostartCaption = "Show menu at the Windows startup";

const char* const kProgramFileFilters =
    "Executable files (*.exe *.com *.pif);;Application links (*.lnk);;All files (*)";

const char* const kIconFileFilters = "Icon files (*.ico *.icl *.exe *.dll);;Pictures (*.png "
                                     "*.svg *.xpm);;Links (*.lnk);;All files (*)";

fs::path ProgramBrowseFolder() {
    wchar_t* folder = nullptr;
    fs::path found;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &folder))) {
        found = folder;
    }
    CoTaskMemFree(folder);
    return found;
}

fs::path DefaultStartFolder(const fs::path& itemFolder) {
    return itemFolder;
}

fs::path DesktopFolder() {
    // The per-user "Shell Folders" value first; where it is missing, the
    // known folder rather than the root of the current drive.
    if (RegKey key(HKEY_CURRENT_USER, kShellFoldersKey, KEY_QUERY_VALUE, false); key) {
        if (std::wstring text = key.ReadString(L"Desktop"); !text.empty()) {
            return fs::path(text);
        }
    }
    return KnownFolder(FOLDERID_Desktop);
}

fs::path AutostartFile() {
    return fs::path(L"HKEY_CURRENT_USER\\") / kRunKey / kRunValue;
}

std::string ReadAutostartCommand() {
    RegKey key(HKEY_CURRENT_USER, kRunKey, KEY_QUERY_VALUE | KEY_SET_VALUE, true);
    if (!key) {
        return {};
    }
    // A value of another type is not taken for "no autostart": the user is told.
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), kRunValue, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type != REG_SZ && type != REG_EXPAND_SZ) {
        throw Error("Invalid data type for '" + Narrow(kRunValue) + "'");
    }
    return Narrow(key.ReadString(kRunValue));
}

bool WriteAutostartCommand(const std::string& command) {
    RegKey key(HKEY_CURRENT_USER, kRunKey, KEY_QUERY_VALUE | KEY_SET_VALUE, true);
    if (!key) {
        return false;
    }
    const std::wstring data = Widen(command);
    return RegSetValueExW(key.get(), kRunValue, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RemoveAutostart() {
    RegKey key(HKEY_CURRENT_USER, kRunKey, KEY_QUERY_VALUE | KEY_SET_VALUE, true);
    if (!key) {
        return true; // no Run key to open: nothing starts at logon from it
    }
    const LSTATUS removed = RegDeleteValueW(key.get(), kRunValue);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND; // none is no failure
}

std::string AutostartCommandFor(const fs::path& exe) {
    return "\"" + utf8::FromPath(fs::path(exe).make_preferred()) + "\" -startup";
}

fs::path ExecutablePath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return {};
        }
        if (n < buf.size()) {
            buf.resize(n);
            return fs::path(buf);
        }
        if (buf.size() >= kLongPath) {
            return {};
        }
        buf.resize(buf.size() * 2);
    }
}

std::vector<std::string> ProgramArguments(int, char**) {
    // The C runtime's argv is in the ANSI code page; the wide command line
    // keeps every character of a batch name.
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; argv && i < count; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    LocalFree(argv);
    return args;
}

} // namespace korvane::shell
