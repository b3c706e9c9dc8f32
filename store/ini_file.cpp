#include "store/ini_file.h"

#include "store/clock_time.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/ini_document.h"
#include "store/profile_encoding.h"
#include "store/utf8.h"

#include <cmath>
#include <optional>
#include <cstdio>
#include <limits>
#include <system_error>

namespace korvane {

namespace {

void CheckName(std::string_view what, std::string_view name) {
    if (name.find_first_of("\r\n") != std::string_view::npos) {
        throw ValueError("The " + std::string(what) + " name '" + std::string(name) +
                         "' holds a line break and cannot be stored");
    }
}

void CheckValue(std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        throw ValueError("The value '" + std::string(value) +
                         "' holds a line break and cannot be stored");
    }
}

void CheckStorable(std::string_view text) {
    if (!ProfileCanHold(text)) {
        throw ValueError("'" + std::string(text) +
                         "' holds characters that this system's code page cannot store");
    }
}

void CheckSection(std::string_view section) {
    CheckName("section", section);
    CheckStorable(section);
}

} // namespace

void CheckIniEntry(std::string_view section, std::string_view key, std::string_view value) {
    CheckName("section", section);
    CheckName("key", key);
    if (IniDocument::TrimName(key).starts_with('[')) {
        // The line would read back as a section header.
        throw ValueError("The key name '" + std::string(key) +
                         "' begins with \"[\" and cannot be stored");
    }
    CheckStorable(section);
    CheckStorable(key);
    CheckStorable(value);
    if (key.find('=') != std::string_view::npos) {
        throw ValueError("The key name '" + std::string(key) +
                         "' holds \"=\" and cannot be stored");
    }
    CheckValue(value);
}

namespace {

void CheckEntry(std::string_view section, std::string_view key, std::string_view value) {
    CheckIniEntry(section, key, value);
}

} // namespace

bool ParseIniNumber(std::string_view text, int& value) {
    std::string t(text);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t.replace(0, 2, "$");
    }
    std::string_view s = t;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    const bool hex = !s.empty() && s.front() == '$';
    if (hex) {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    unsigned long long magnitude = 0;
    for (const char c : s) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return false;
        }
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (magnitude > 0xFFFFFFFFull) {
            return false;
        }
    }
    long long result = 0;
    if (hex) {
        // Eight hex digits are a 32-bit pattern: $FFFFFFFF is -1.
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
    } else {
        result = static_cast<long long>(magnitude);
    }
    if (negative) {
        result = -result;
    }
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max()) {
        return false;
    }
    value = static_cast<int>(result);
    return true;
}

TIniFile::TIniFile(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

TIniFile::~TIniFile() {
    Flush();
}

void TIniFile::Preload() const {
    (void)Reread(true);
}

// The parsed file while the file on disk is unchanged (or while a held
// version is read); null when it must be read again. Looks at no more than
// the file's identity.
std::shared_ptr<const IniDocument> TIniFile::Current() const {
    if (!cacheEnabled_ || !cached_) {
        return nullptr;
    }
    if (held_ > 0 && heldLoaded_) {
        return cached_;
    }
    const auto id = IdentifyFile(fileName_);
    if (!id || !cachedIdentity_ || !(*id == *cachedIdentity_)) {
        return nullptr;
    }
    heldLoaded_ = held_ > 0;
    return cached_;
}

std::shared_ptr<const IniDocument> TIniFile::Load() const {
    if (auto doc = Current()) {
        return doc;
    }
    return Reread(false);
}

// Reads and parses the file, and keeps the result for the reads that follow.
std::shared_ptr<const IniDocument> TIniFile::Reread(bool throwIfUnreadable) const {
    std::optional<FileSnapshot> snap;
    try {
        snap = ReadFileSnapshot(fileName_);
    } catch (const std::system_error&) {
        // Reads never fail: a file that cannot be read yields the defaults.
        if (throwIfUnreadable) {
            throw;
        }
    }
    auto doc = std::make_shared<const IniDocument>(
        IniDocument::Parse(snap ? ProfileBytesToText(std::move(snap->bytes)) : std::string()));
    if (cacheEnabled_ && snap) {
        cached_ = doc;
        cachedIdentity_ = std::make_unique<FileIdentity>(snap->identity);
        heldLoaded_ = held_ > 0;
    } else {
        cached_.reset();
        cachedIdentity_.reset();
    }
    return doc;
}

// Runs edit on the file as it is on disk now and writes the result when
// edit says it changed something; returns that. Only the file's own read and
// write are this file's failures: what edit throws goes through as it is.
template <class Edit> bool TIniFile::Modify(Edit&& edit, bool reportFailure) {
    FolderLock lock(fileName_.parent_path());
    const auto failed = [&]() {
        cached_.reset();
        cachedIdentity_.reset();
        if (reportFailure) {
            throw WriteError("Unable to write to " + utf8::FromPath(fileName_));
        }
        return false;
    };
    std::optional<IniDocument> doc;
    try {
        // Under the lock, read what is on disk now: another process may have
        // written since our last read.
        auto snap = ReadFileSnapshot(fileName_);
        doc = IniDocument::Parse(snap ? ProfileBytesToText(std::move(snap->bytes))
                                      : std::string());
    } catch (const std::system_error&) {
        return failed();
    } catch (const std::bad_alloc&) {
        return failed();
    }
    if (!edit(*doc)) {
        return false;
    }
    try {
        const FileIdentity id =
            ReplaceFileAtomically(fileName_, TextToProfileBytes(doc->Serialize()));
        if (cacheEnabled_) {
            cached_ = std::make_shared<const IniDocument>(std::move(*doc));
            cachedIdentity_ = std::make_unique<FileIdentity>(id);
        }
        return true;
    } catch (const std::system_error&) {
        return failed();
    } catch (const std::bad_alloc&) {
        return failed();
    }
}

bool TIniFile::Update(const std::function<bool(IniDocument&)>& edit) {
    return Modify(edit, true);
}

bool TIniFile::HasSection(std::string_view section) const {
    return Load()->HasSection(section);
}

std::string TIniFile::ReadText(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
    const auto doc = Load();
    const std::optional<std::string_view> value = doc->Find(section, key);
    if (!value) {
        return std::string(defaultValue);
    }
    return std::string(utf8::FirstChars(*value, kMaxValueChars));
}

void TIniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
    CheckEntry(section, key, value);
    // A value the file holds already needs neither the lock nor a rewrite
    // (the window layout's trace writes the same marks at every start). Only
    // a document at hand is asked: the write reads the file under the lock.
    if (const auto doc = Current(); doc && doc->Holds(section, key, value)) {
        return;
    }
    Modify([&](IniDocument& doc) { return doc.Set(section, key, value); }, true);
}

void TIniFile::WriteTexts(std::string_view section,
                          const std::vector<std::pair<std::string, std::string>>& pairs) {
    for (const auto& [key, value] : pairs) {
        CheckEntry(section, key, value);
    }
    Modify([&](IniDocument& doc) { return doc.SetMany(section, pairs); }, true);
}

void TIniFile::RemoveKey(std::string_view section, std::string_view key) {
    Modify([&](IniDocument& doc) { return doc.RemoveKey(section, key); }, false);
}

bool TIniFile::RemoveSection(std::string_view section) {
    return Modify([&](IniDocument& doc) { return doc.RemoveSection(section); }, true);
}

bool TIniFile::EditSection(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& pairs,
                           const std::vector<std::string>& removed) {
    for (const auto& [key, value] : pairs) {
        CheckEntry(section, key, value);
    }
    bool present = false;
    Modify(
        [&](IniDocument& doc) {
            present = doc.HasSection(section);
            if (!present) {
                return false;
            }
            bool changed = doc.SetMany(section, pairs);
            for (const std::string& key : removed) {
                changed = doc.RemoveKey(section, key) || changed;
            }
            return changed;
        },
        true);
    return present;
}

TIniFile::RenameResult TIniFile::RenameSection(std::string_view from, std::string_view to) {
    CheckSection(to);
    auto result = IniDocument::RenameResult::Renamed;
    Modify(
        [&](IniDocument& doc) {
            result = doc.RenameSection(from, to);
            return result == IniDocument::RenameResult::Renamed;
        },
        true);
    switch (result) {
    case IniDocument::RenameResult::NameTaken:
        return RenameResult::NameTaken;
    case IniDocument::RenameResult::NoSection:
        return RenameResult::NoSection;
    default:
        return RenameResult::Renamed;
    }
}

namespace {

// Gathers names as into a buffer of kListBytes: each takes its length plus a
// terminator, the list one more; what does not fit is dropped, and the name
// that is partly inside is cut short.
std::vector<std::string> LimitList(std::vector<std::string> names) {
    std::size_t room = TIniFile::kListBytes - 1;
    std::vector<std::string> out;
    for (auto& name : names) {
        if (name.size() + 1 <= room) {
            room -= name.size() + 1;
            out.push_back(std::move(name));
            continue;
        }
        if (room > 1) {
            out.emplace_back(utf8::FirstBytes(name, room - 1));
        }
        break;
    }
    return out;
}

} // namespace

std::vector<std::string> TIniFile::ListSections() const {
    return LimitList(Load()->Sections());
}

std::vector<std::string> TIniFile::AllSections() const {
    return Load()->Sections();
}

std::vector<std::string> TIniFile::ListKeys(std::string_view section) const {
    return LimitList(Load()->Keys(section));
}

std::vector<std::string> TIniFile::ListPairs(std::string_view section) const {
    std::vector<std::string> pairs;
    for (const std::string& key : ListKeys(section)) {
        pairs.push_back(key + "=" + ReadText(section, key, ""));
    }
    return pairs;
}

int TIniFile::ReadNumber(std::string_view section, std::string_view key, int defaultValue) const {
    int value = defaultValue;
    return ParseIniNumber(ReadText(section, key, ""), value) ? value : defaultValue;
}

void TIniFile::WriteNumber(std::string_view section, std::string_view key, int value) {
    WriteText(section, key, std::to_string(value));
}

bool TIniFile::ReadFlag(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteFlag(std::string_view section, std::string_view key, bool value) {
    WriteText(section, key, value ? "1" : "0");
}

double TIniFile::ReadClockTime(std::string_view section, std::string_view key,
                               double defaultValue) const {
    const std::string text = ReadText(section, key, "");
    if (text.empty()) {
        return defaultValue;
    }
    try {
        return ParseClockTime(text);
    } catch (const ConvertError&) {
        return defaultValue;
    }
}

void TIniFile::WriteClockTime(std::string_view section, std::string_view key, double value) {
    WriteText(section, key, FormatClockTime(value));
}

std::string FormatReal(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string text = buf;
    if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
        text.replace(dot, 1, UserTimeFormat().decimalSeparator);
    }
    return text;
}

void TIniFile::WriteReal(std::string_view section, std::string_view key, double value) {
    WriteText(section, key, FormatReal(value));
}

} // namespace korvane
