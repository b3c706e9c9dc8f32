// The link property sheet on Windows: the fields of a shell link (.lnk).
#include "shell/link_sheet.h"

#include "shell/shell_link_windows.h"
#include "store/utf8.h"
#include "store/wide_text_windows.h"

#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

using namespace win32link;
using win32::Widen;

bool Blank(const std::string& text) {
    return text.find_first_not_of(" \t\n") == std::string::npos;
}

} // namespace

std::optional<LinkSheet> ReadLinkSheet(const fs::path& file) {
    ComScope com;
    ComPtr<IShellLinkW> link = LoadShellLink(file);
    if (!link) {
        return std::nullopt;
    }
    LinkSheet sheet;
    sheet.kind = LinkSheet::Kind::Link;
    sheet.target = LinkField(link.get(), [](IShellLinkW* l, wchar_t* b, int n) {
        return l->GetPath(b, n, nullptr, SLGP_RAWPATH);
    });
    sheet.arguments = LinkField(
        link.get(), [](IShellLinkW* l, wchar_t* b, int n) { return l->GetArguments(b, n); });
    sheet.startIn = LinkField(
        link.get(), [](IShellLinkW* l, wchar_t* b, int n) { return l->GetWorkingDirectory(b, n); });
    sheet.comment = LinkField(
        link.get(), [](IShellLinkW* l, wchar_t* b, int n) { return l->GetDescription(b, n); });
    int index = 0;
    sheet.iconFile = LinkField(link.get(), [&index](IShellLinkW* l, wchar_t* b, int n) {
        return l->GetIconLocation(b, n, &index);
    });
    sheet.iconIndex = sheet.iconFile.empty() ? 0 : index;
    return sheet;
}

std::string CheckLinkSheet(const LinkSheet& sheet) {
    std::error_code ec;
    if (!sheet.startIn.empty() && !fs::is_directory(utf8::ToPath(sheet.startIn), ec)) {
        return "The folder \"" + sheet.startIn + "\" does not exist.";
    }
    if (Blank(sheet.target)) {
        return "The target is empty: the item would start nothing.";
    }
    // Arguments are handed to the program as one text, as the shell does.
    return {};
}

std::string LinkSheetWarning(const LinkSheet& sheet) {
    std::error_code ec;
    const fs::path target = utf8::ToPath(sheet.target);
    if (!sheet.target.empty() && target.has_parent_path() && !fs::exists(target, ec)) {
        return "The target does not exist (yet): the item starts nothing until it does.";
    }
    return {};
}

bool WriteLinkSheet(const fs::path& file, const LinkSheet& sheet) {
    ComScope com;
    ComPtr<IShellLinkW> link = LoadShellLink(file);
    ComPtr<IPersistFile> persist = link ? PersistOf(link.get()) : nullptr;
    if (!persist) {
        return false;
    }
    link->SetPath(Widen(sheet.target).c_str());
    link->SetArguments(Widen(sheet.arguments).c_str());
    link->SetWorkingDirectory(Widen(sheet.startIn).c_str());
    link->SetDescription(Widen(sheet.comment).c_str());
    link->SetIconLocation(Widen(sheet.iconFile).c_str(),
                          sheet.iconFile.empty() ? 0 : sheet.iconIndex);
    // Written beside it, then put in its place in one step: the old link
    // stays whole when the write fails.
    const fs::path temp = fs::path(file).make_preferred() += L".korvane-new";
    if (FAILED(persist->Save(temp.c_str(), FALSE))) {
        std::error_code ec;
        fs::remove(temp, ec);
        return false;
    }
    if (!MoveFileExW(temp.c_str(), fs::path(file).make_preferred().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::error_code ec;
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace korvane::shell
