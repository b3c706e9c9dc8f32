// What shell links say of their items, on Windows: what they start, their
// icon and comment.
#include "shell/shell.h"
#include "shell/shell_link_windows.h"

namespace fs = std::filesystem;

namespace korvane::shell {

using namespace win32link;

namespace {

// One text field of a link; "" for a file that is missing or no link.
template <class Get> std::string ReadLinkField(const fs::path& linkFile, Get get) {
    ComScope com;
    ComPtr<IShellLinkW> link = LoadShellLink(linkFile);
    return link ? LinkField(link.get(), get) : std::string();
}

} // namespace

std::string ReadLinkTarget(const fs::path& linkFile) {
    return ReadLinkField(linkFile, [](IShellLinkW* link, wchar_t* buf, int size) {
        return link->GetPath(buf, size, nullptr, 0);
    });
}

std::string ReadLinkIconLocation(const fs::path& linkFile, int* index) {
    int found = 0;
    std::string file = ReadLinkField(linkFile, [&found](IShellLinkW* link, wchar_t* buf, int size) {
        return link->GetIconLocation(buf, size, &found);
    });
    if (index) {
        *index = found;
    }
    return file;
}

LinkSummary ReadLinkSummary(const fs::path& linkFile) {
    LinkSummary summary; // the shell knows a link by its file name: no display name
    ComScope com;
    ComPtr<IShellLinkW> link = LoadShellLink(linkFile);
    if (!link) {
        return summary;
    }
    summary.target = LinkField(link.get(), [](IShellLinkW* l, wchar_t* buf, int size) {
        return l->GetPath(buf, size, nullptr, 0);
    });
    summary.comment = LinkField(link.get(), [](IShellLinkW* l, wchar_t* buf, int size) {
        return l->GetDescription(buf, size);
    });
    int index = 0;
    summary.iconFile = LinkField(link.get(), [&index](IShellLinkW* l, wchar_t* buf, int size) {
        return l->GetIconLocation(buf, size, &index);
    });
    summary.iconIndex = index;
    return summary;
}

std::string ReadWindowClass(const fs::path&) {
    return ""; // windows are known by their process here
}

std::string ReadLinkDisplayName(const fs::path&) {
    return ""; // the shell knows a link by its file name
}

std::string ReadLinkComment(const fs::path& linkFile) {
    return ReadLinkField(linkFile, [](IShellLinkW* link, wchar_t* buf, int size) {
        return link->GetDescription(buf, size);
    });
}

} // namespace korvane::shell
