#include "app/launch_report.h"

#include "store/ini_document.h"
#include "store/file_io.h"
#include "store/utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane {

namespace {

constexpr std::string_view kFirstLine = "Korvane launch report";

struct OutcomeName {
    ItemOutcome outcome;
    std::string_view word;
};
constexpr std::array<OutcomeName, 6> kOutcomes{{
    {ItemOutcome::Started, "started"},
    {ItemOutcome::Skipped, "skipped"},
    {ItemOutcome::Paused, "paused"},
    {ItemOutcome::NotFound, "not found"},
    {ItemOutcome::FailedToStart, "failed to start"},
    {ItemOutcome::Waited, "waited"},
}};

// A field never holds the tab between fields nor the line's end: names of
// files and batches may hold both.
std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (u < 0x20 || u == 0x7f) {
                constexpr char hex[] = "0123456789abcdef";
                out += "\\x";
                out += hex[u >> 4];
                out += hex[u & 15];
            } else {
                out += c;
            }
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 'x':
            if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
                out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default:
            out += next; // "\\" and anything a hand edit left
        }
    }
    return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

std::optional<long long> Number(std::string_view text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool Digits(std::string_view text, std::size_t count) {
    return text.size() == count &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::string_view OutcomeWord(ItemOutcome outcome) {
    for (const OutcomeName& n : kOutcomes) {
        if (n.outcome == outcome) {
            return n.word;
        }
    }
    return "?";
}

std::optional<ItemOutcome> OutcomeFromWord(std::string_view word) {
    for (const OutcomeName& n : kOutcomes) {
        if (n.word == word) {
            return n.outcome;
        }
    }
    return std::nullopt;
}

fs::path ReportFolder(const fs::path& stateFolder) {
    return stateFolder / "Reports";
}

std::string ReportHeader(std::string_view batch, std::string_view origin, std::string_view began,
                         long long processId) {
    std::string text(kFirstLine);
    text += "\nbatch\t" + Escape(batch);
    text += "\norigin\t" + Escape(origin);
    text += "\nbegan\t" + Escape(began);
    text += "\nprocess\t" + std::to_string(processId);
    text += "\n\n";
    return text;
}

std::string ReportItemLine(const ItemRecord& item) {
    return Escape(item.time) + '\t' + std::to_string(item.index + 1) + '\t' +
           std::string(OutcomeWord(item.outcome)) + '\t' + Escape(item.name) + '\t' +
           (item.processId > 0 ? std::to_string(item.processId) : std::string("-")) + '\t' +
           Escape(item.detail) + '\n';
}

std::string ReportEndLine(std::string_view time, std::string_view end) {
    return Escape(time) + "\tend\t" + Escape(end) + '\n';
}

std::optional<LaunchReport> ParseReport(std::string_view text) {
    if (!text.starts_with(kFirstLine)) {
        return std::nullopt;
    }
    LaunchReport report;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) {
            eol = text.size();
        }
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1); // an editor's line ends
        }
        const std::vector<std::string_view> f = SplitTabs(line);
        if (f.size() == 2) {
            if (f[0] == "batch") {
                report.batch = Unescape(f[1]);
            } else if (f[0] == "origin") {
                report.origin = Unescape(f[1]);
            } else if (f[0] == "began") {
                report.began = Unescape(f[1]);
            } else if (f[0] == "process") {
                report.processId = Number(f[1]).value_or(0);
            }
        } else if (f.size() == 3 && f[1] == "end") {
            report.endTime = Unescape(f[0]);
            report.end = Unescape(f[2]);
        } else if (f.size() == 6) {
            const auto number = Number(f[1]);
            const auto outcome = OutcomeFromWord(f[2]);
            if (!number || *number < 1 || *number > 1'000'000 || !outcome) {
                continue;
            }
            ItemRecord item;
            item.time = Unescape(f[0]);
            item.index = static_cast<int>(*number - 1);
            item.outcome = *outcome;
            item.name = Unescape(f[3]);
            item.processId = Number(f[4]).value_or(0);
            item.detail = Unescape(f[5]);
            report.items.push_back(std::move(item));
        }
    }
    return report;
}

bool IsReportFileName(std::string_view name) {
    // YYYYMMDD-HHMMSSmmm-PID.txt, or with "-N" after the process id.
    if (!name.ends_with(".txt")) {
        return false;
    }
    name.remove_suffix(4);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dash = name.find('-', start);
        parts.push_back(name.substr(start, dash == std::string_view::npos ? dash : dash - start));
        if (dash == std::string_view::npos) {
            break;
        }
        start = dash + 1;
    }
    const auto digits = [](std::string_view p) {
        return !p.empty() && p.size() <= 10 && Digits(p, p.size());
    };
    return (parts.size() == 3 || parts.size() == 4) && Digits(parts[0], 8) && Digits(parts[1], 9) &&
           digits(parts[2]) && (parts.size() == 3 || digits(parts[3]));
}

std::vector<fs::path> ListReports(const fs::path& folder) {
    std::vector<fs::path> files;
    std::vector<FolderEntry> entries;
    try {
        entries = ListFolder(folder);
    } catch (const FileError&) {
        return files; // a link or no folder where the reports go: none to show
    }
    for (const FolderEntry& entry : entries) {
        if (entry.kind == EntryKind::File && IsReportFileName(utf8::FromPath(entry.name))) {
            files.push_back(folder / entry.name);
        }
    }
    // By time, then by the number a second report of one millisecond gets.
    const auto key = [](const fs::path& file) {
        const std::string name = utf8::FromPath(file.stem());
        const std::size_t second = name.find('-', 18);        // after the time
        const std::size_t third = name.find('-', second + 1); // before a number of its own
        const std::string number = third == std::string::npos ? "1" : name.substr(third + 1);
        return name.substr(0, 18) +
               std::string(10 - std::min<std::size_t>(number.size(), 10), '0') + number +
               name.substr(second, third == std::string::npos ? third : third - second);
    };
    std::sort(files.begin(), files.end(),
              [&](const fs::path& a, const fs::path& b) { return key(a) > key(b); });
    return files;
}

std::optional<LaunchReport> LastLaunchOf(const fs::path& folder, std::string_view batch) {
    const std::string_view wanted = IniDocument::TrimName(batch);
    for (const fs::path& file : ListReports(folder)) {
        // Reports are small: a huge file in the folder is no report to read whole.
        constexpr std::int64_t kMostBytes = 16 << 20;
        const auto identity = IdentifyFile(file);
        if (!identity || identity->size > kMostBytes) {
            continue;
        }
        std::optional<FileSnapshot> snapshot;
        try {
            snapshot = ReadFileSnapshot(file);
        } catch (const FileError&) {
            continue;
        }
        if (!snapshot) {
            continue;
        }
        auto report = ParseReport(snapshot->bytes);
        if (report && utf8::EqualFolded(IniDocument::TrimName(report->batch), wanted)) {
            report->file = file;
            return report;
        }
    }
    return std::nullopt;
}

} // namespace korvane
