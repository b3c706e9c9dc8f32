// Desktop shortcuts on Windows: shell links on the desktop.
#include "shell/desktop_link.h"

#include "shell/shell_link_windows.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/utf8.h"
#include "store/wide_text_windows.h"

#include <shellapi.h>

#include <string_view>

namespace fs = std::filesystem;

namespace korvane::shell {

using namespace win32link;
using win32::Narrow;
using win32::Widen;

const char* const kDesktopLinkExtension = ".lnk";

std::string DesktopLinkName(const std::string& name) {
    std::string file = name;
    for (char& c : file) {
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos ||
            static_cast<unsigned char>(c) < 32) {
            c = '-';
        }
    }
    return file.empty() || file == "." || file == ".." ? "-" + file : file;
}

void WriteDesktopLink(const fs::path& file, const std::string& name, const fs::path& target,
                      const std::vector<std::string>& arguments, int iconIndex,
                      const std::string& iconFile) {
    ComScope com;
    ComPtr<IShellLinkW> link = NewShellLink();
    const std::wstring path = fs::path(target).make_preferred().wstring();
    std::wstring args;
    for (const std::string& a : arguments) {
        args += (args.empty() ? L"" : L" ") + QuoteArgument(Widen(a));
    }
    link->SetDescription(Widen(name).c_str());
    link->SetPath(path.c_str());
    link->SetArguments(args.c_str());
    link->SetWorkingDirectory(FolderOf(path).c_str());
    if (!iconFile.empty()) {
        link->SetIconLocation(Widen(iconFile).c_str(), iconIndex);
    }
    try {
        MakeFolders(file.parent_path());
    } catch (const FileError& error) {
        throw Error("The shortcut " + utf8::FromPath(file) + " could not be written: " +
                    error.Reason());
    }
    ComPtr<IPersistFile> persist = PersistOf(link.get());
    const HRESULT saved = persist ? persist->Save(fs::path(file).make_preferred().c_str(), TRUE)
                                  : E_NOINTERFACE;
    if (FAILED(saved)) {
        throw Error("The shortcut " + utf8::FromPath(file) + " could not be written: " +
                    SystemMessage(static_cast<DWORD>(saved)));
    }
}

std::optional<DesktopLinkCommand> ReadDesktopLink(const fs::path& file) {
    try {
        ComScope com;
        ComPtr<IShellLinkW> link = LoadShellLink(file);
        if (!link) {
            return std::nullopt;
        }
        DesktopLinkCommand command;
        command.program = utf8::ToPath(LinkField(
            link.get(), [](IShellLinkW* l, wchar_t* buf, int size) {
                return l->GetPath(buf, size, nullptr, SLGP_RAWPATH);
            }));
        const std::wstring arguments = Widen(LinkField(
            link.get(), [](IShellLinkW* l, wchar_t* buf, int size) {
                return l->GetArguments(buf, size);
            }));
        // Read back as the program reads its own command line.
        int count = 0;
        const std::wstring line = L"x " + arguments;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
        for (int i = 1; argv && i < count; ++i) {
            command.arguments.push_back(Narrow(argv[i]));
        }
        LocalFree(argv);
        return command;
    } catch (const Error&) {
        return std::nullopt; // no shell link object here
    }
}

} // namespace korvane::shell
