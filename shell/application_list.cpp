// What the application picker finds by typing; shared by every platform.
#include "shell/application_list.h"

#include "store/utf8.h"

namespace korvane::shell {

std::vector<std::string> SplitList(std::string_view text, char separator) {
    std::vector<std::string> parts;
    while (!text.empty()) {
        const auto at = text.find(separator);
        if (at != 0) {
            parts.emplace_back(text.substr(0, at));
        }
        text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
    }
    return parts;
}

bool MatchesSearch(const InstalledApplication& app, std::string_view typed) {
    const std::string haystack = utf8::FoldCase(app.name + "\n" + app.genericName + "\n" +
                                                app.comment + "\n" + app.keywords + "\n" + app.id);
    for (const std::string& word : SplitList(typed, ' ')) {
        if (haystack.find(utf8::FoldCase(word)) == std::string::npos) {
            return false;
        }
    }
    return true;
}

} // namespace korvane::shell
