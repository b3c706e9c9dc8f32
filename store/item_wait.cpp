#include "store/item_wait.h"

#include "store/catalogue_edit.h"
#include "store/errors.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace korvane {

namespace {

struct KindName {
    WaitKind kind;
    std::string_view word;
};
constexpr std::array<KindName, 4> kKinds{{{WaitKind::Window, "Window"},
                                          {WaitKind::Ended, "Ended"},
                                          {WaitKind::Path, "Path"},
                                          {WaitKind::Port, "Port"}}};

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int> Number(std::string_view text) {
    int value = 0;
    if (!AllDigits(text) || text.size() > 9) {
        return std::nullopt;
    }
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Well within what a value of the catalogue holds.
constexpr std::size_t kMaxWaitPath = 1024;

bool NeedsTarget(WaitKind kind) {
    return kind == WaitKind::Path || kind == WaitKind::Port;
}

} // namespace

std::string WaitKey(std::string_view folderField) {
    if (!folderField.empty() && (folderField.back() == '\\' || folderField.back() == '/')) {
        folderField.remove_suffix(1);
    }
    return AllDigits(folderField) && folderField.size() <= 9 ? "Wait" + std::string(folderField)
                                                             : std::string();
}

std::string EncodeWait(const ItemWait& wait) {
    for (const KindName& k : kKinds) {
        if (k.kind == wait.kind) {
            std::string text = std::string(k.word) + ";" + std::to_string(wait.limitSeconds);
            return NeedsTarget(wait.kind) ? text + ";" + wait.target : text;
        }
    }
    return "";
}

ItemWait DecodeWait(std::string_view text) {
    ItemWait wait;
    const std::size_t first = text.find(';');
    const std::string_view word = text.substr(0, first);
    const auto known = std::find_if(kKinds.begin(), kKinds.end(),
                                    [&](const KindName& k) { return k.word == word; });
    if (known == kKinds.end() || first == std::string_view::npos) {
        return wait;
    }
    std::string_view rest = text.substr(first + 1);
    const std::size_t second = rest.find(';');
    const auto limit = Number(rest.substr(0, second));
    if (!limit || *limit < 1) {
        return wait;
    }
    ItemWait read{known->kind, std::min(*limit, kMaxWaitSeconds), ""};
    if (NeedsTarget(read.kind)) {
        if (second == std::string_view::npos) {
            return wait;
        }
        read.target = std::string(rest.substr(second + 1)); // the rest: a path may hold ";"
    }
    return WaitProblem(read) ? wait : read;
}

std::optional<std::string> WaitProblem(const ItemWait& wait) {
    if (wait.kind == WaitKind::None) {
        return std::nullopt;
    }
    if (wait.limitSeconds < 1 || wait.limitSeconds > kMaxWaitSeconds) {
        return "The time limit must lie between 1 second and 24 hours.";
    }
    if (wait.kind == WaitKind::Path) {
        if (wait.target.find_first_of("\r\n") != std::string::npos) {
            return "The path cannot hold a line break.";
        }
        if (wait.target.size() > kMaxWaitPath) {
            return "The path is too long.";
        }
        if (const char last = wait.target.empty() ? 'x' : wait.target.back();
            last == ' ' || last == '\t') {
            return "The path cannot end in a blank.";
        }
        const bool absolute = wait.target.starts_with("/") || wait.target.starts_with("~/") ||
                              (wait.target.size() > 2 && wait.target[1] == ':' &&
                               (wait.target[2] == '\\' || wait.target[2] == '/')) ||
                              wait.target.starts_with("\\\\");
        if (!absolute) {
            return "Give the whole path, from the root of its drive or from \"~/\".";
        }
    }
    if (wait.kind == WaitKind::Port) {
        const auto port = Number(wait.target);
        if (!port || *port < 1 || *port > 65535) {
            return "The port must be a number from 1 to 65535.";
        }
    }
    return std::nullopt;
}

ItemWait ReadItemWait(const TIniFile& catalogue, std::string_view batch,
                      std::string_view folderField) {
    const std::string key = WaitKey(folderField);
    return key.empty() ? ItemWait{} : DecodeWait(catalogue.ReadText(batch, key, ""));
}

void SetItemWait(ProgramFiles& files, const BatchRef& batch, std::string_view folderField,
                 const ItemWait& wait) {
    if (const auto problem = WaitProblem(wait)) {
        throw Error(*problem);
    }
    const std::string key = WaitKey(folderField);
    if (key.empty()) {
        throw Error("The item's folder \"" + std::string(folderField) +
                    "\" is no number, so nothing can be kept for it.");
    }
    EditBatch(files, batch, [&](BatchSection& section) {
        // The item is known by its folder, wherever it has moved meanwhile.
        bool found = false;
        tqAppInfo item;
        for (int n = 0, count = section.ItemCount(); n < count && !found; ++n) {
            const std::string entry = section.Item(n);
            if (entry.starts_with("File;")) {
                DecodeItemEntry(entry, item);
                found = WaitKey(item.Folder) == key;
            }
        }
        if (!found) {
            throw ItemChanged(batch.name);
        }
        if (wait.kind == WaitKind::None) {
            section.Remove(key);
        } else {
            section.Write(key, EncodeWait(wait));
        }
    });
}

int FindApplicationItem(const TIniFile& catalogue, std::string_view batch,
                        std::string_view folderField) {
    const std::string key = WaitKey(folderField);
    int found = -1;
    ForEachItem(catalogue, batch, [&](int n, const tqAppInfo& item) {
        if (item.Kind == TItemKind::ikFile && !key.empty() && WaitKey(item.Folder) == key) {
            found = n;
            return false;
        }
        return true;
    });
    return found;
}

std::string LimitText(int seconds) {
    if (seconds % 3600 == 0) {
        return std::to_string(seconds / 3600) + " h";
    }
    if (seconds % 60 == 0) {
        return std::to_string(seconds / 60) + " min";
    }
    return std::to_string(seconds) + " s";
}

std::string WaitSummary(const ItemWait& wait) {
    switch (wait.kind) {
    case WaitKind::None:
        return "";
    case WaitKind::Window:
        return "waits for its window";
    case WaitKind::Ended:
        return "waits until it ends";
    case WaitKind::Path:
        return "waits for " + wait.target;
    case WaitKind::Port:
        return "waits for port " + wait.target;
    }
    return "";
}

} // namespace korvane
