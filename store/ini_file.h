#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

class IniDocument;
struct FileIdentity;

// A profile file: sections of key=value lines. Every read sees the file as it
// is on disk now and every write reaches the disk before the call returns, so
// several processes can share one file. Names compare without regard to case.
class TIniFile {
  public:
    explicit TIniFile(std::filesystem::path fileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::filesystem::path& FileName() const { return fileName_; }

    static constexpr std::size_t kMaxValueChars = 2047;
    static constexpr std::size_t kListBytes = 16384;

    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
    // Throws WriteError("Unable to write to <file>"), or ValueError for text
    // that would break the line structure of the file.
    void WriteText(std::string_view section, std::string_view key, std::string_view value);
    // Several keys of one section in one rewrite of the file.
    void WriteTexts(std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& pairs);
    void RemoveKey(std::string_view section, std::string_view key); // never throws
    // Whether there was such a section to remove.
    bool RemoveSection(std::string_view section);
    // Sets pairs and removes the keys named in removed, in one rewrite, but
    // only while the section exists: another process may have renamed or
    // removed it since it was read. False, with nothing written, when it
    // does not exist. Throws as WriteTexts does.
    bool EditSection(std::string_view section,
                     const std::vector<std::pair<std::string, std::string>>& pairs,
                     const std::vector<std::string>& removed = {});
    enum class RenameResult { Renamed, NameTaken, NoSection };
    // Gives a section a new name in one rewrite: its keys move, in order and
    // whole, to a section of that name at the end of the file. Nothing is
    // written when another section already has the name or there is no
    // section to rename.
    RenameResult RenameSection(std::string_view from, std::string_view to);

    // Runs edit on the file as it is on disk now, under its folder's lock,
    // and writes the result when edit says it changed something; returns
    // that. Throws WriteError when the file cannot be read or written; what
    // edit throws goes through, with nothing written.
    bool Update(const std::function<bool(IniDocument&)>& edit);

    // Whether the file has the section now.
    bool HasSection(std::string_view section) const;
    std::vector<std::string> ListSections() const;
    // Every section name, without the list limit: for checks that must see
    // every batch, such as whether a name or an ID is taken.
    std::vector<std::string> AllSections() const;
    std::vector<std::string> ListKeys(std::string_view section) const;
    std::vector<std::string> ListPairs(std::string_view section) const; // "key=value"

    int ReadNumber(std::string_view section, std::string_view key, int defaultValue) const;
    void WriteNumber(std::string_view section, std::string_view key, int value);
    bool ReadFlag(std::string_view section, std::string_view key, bool defaultValue) const;
    void WriteFlag(std::string_view section, std::string_view key, bool value);
    double ReadClockTime(std::string_view section, std::string_view key, double defaultValue) const;
    void WriteClockTime(std::string_view section, std::string_view key, double value);
    void WriteReal(std::string_view section, std::string_view key, double value);

    // While one lives, reads take the file as the first of them found it:
    // one look at the disk for a burst of reads, all from one version.
    class HeldVersion {
      public:
        explicit HeldVersion(const TIniFile& file) : file_(file) { ++file_.held_; }
        ~HeldVersion() {
            if (--file_.held_ == 0) {
                file_.heldLoaded_ = false;
            }
        }
        HeldVersion(const HeldVersion&) = delete;
        HeldVersion& operator=(const HeldVersion&) = delete;

      private:
        const TIniFile& file_;
    };

    // Reads and parses the file now, so that the next read finds it ready
    // (while it is unchanged). Throws std::system_error when the file is
    // there but cannot be read. Not to be called alongside any other use.
    void Preload() const;

    // Every write is already durable when it returns; kept for callers that
    // want to say so.
    void Flush() {}

    // The parsed file is reused while the file on disk is unchanged; the
    // benchmark switches this off to measure the difference.
    void SetCacheEnabled(bool enabled) { cacheEnabled_ = enabled; }

  private:
    std::shared_ptr<const IniDocument> Load() const;
    std::shared_ptr<const IniDocument> Current() const;
    std::shared_ptr<const IniDocument> Reread(bool throwIfUnreadable) const;
    template <class Edit> bool Modify(Edit&& edit, bool reportFailure);

    std::filesystem::path fileName_;
    bool cacheEnabled_ = true;
    mutable std::shared_ptr<const IniDocument> cached_;
    mutable std::unique_ptr<FileIdentity> cachedIdentity_;
    mutable int held_ = 0;
    mutable bool heldLoaded_ = false; // a read under HeldVersion has looked at the disk
};

// Throws ValueError for a line WriteText would refuse: a line break, a key
// that holds "=" or begins with "[", text this system's code page cannot hold.
void CheckIniEntry(std::string_view section, std::string_view key, std::string_view value);

// The text of a number as ReadNumber takes it: decimal, or hexadecimal after
// "$", "0x" or "0X", with an optional sign; nullopt unless it is a signed
// 32-bit number and nothing else.
bool ParseIniNumber(std::string_view text, int& value);

// A double as WriteReal writes it: general format, at most 15 significant
// digits, the user's decimal separator.
std::string FormatReal(double value);

} // namespace korvane
