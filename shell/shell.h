#pragma once

// The program's dealings with the desktop shell. One implementation per
// platform; nothing here reports failure unless it says so.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::shell {

// Opens a file the way the desktop would: link files run their target,
// executables are started, application entries are launched, anything else
// opens with the default application for its type. directory is the working
// directory (unless a link names its own); "" means none. Windows open in
// their normal state. Never waits, never throws: what became of it is
// returned, for those who report it.
struct OpenResult {
    bool started = false;
    long long processId = 0; // 0 when the system does not say which
    std::string failure;     // the system's reason, when nothing started
};
OpenResult ShellOpen(const std::filesystem::path& file, std::string_view parameters,
                     const std::filesystem::path& directory);

// Starts a program with arguments, apart from this process, which need not
// wait for it; false when it could not be started.
bool StartDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments);

// Shows a desktop notification, when the session has a service that shows
// them; a click on it opens openOnClick (none when empty). Waits for the
// click or the notification's end, at most waitSeconds. False when none
// could be shown.
bool ShowNotification(const std::string& summary, const std::string& body,
                      const std::filesystem::path& openOnClick, int waitSeconds);

// Makes folder/<name>.lnk running a command line ("program" args...), with
// the program's folder as working directory; false when it could not be
// written or the command names no program.
bool CreateCommandLink(const std::string& name, const std::string& command,
                       const std::filesystem::path& folder);

// Makes folder/<target's file name>.lnk pointing at target, with the target's
// folder as working directory. Throws Error, with the system's reason, when
// it cannot be written.
void CreateItemLink(const std::filesystem::path& target, const std::filesystem::path& folder);

// What a link file points at and where its icon comes from; "" for a file
// that is missing or not a link.
std::string ReadLinkTarget(const std::filesystem::path& linkFile);
// The icon's index in its file goes to index when one is asked for.
std::string ReadLinkIconLocation(const std::filesystem::path& linkFile, int* index = nullptr);

// What the desktop calls a link file's item and says of it: a desktop
// entry's localized Name= and Comment=, a link's description; "" where the
// file names none (people then know it by its file name).
std::string ReadLinkDisplayName(const std::filesystem::path& linkFile);
std::string ReadLinkComment(const std::filesystem::path& linkFile);

// All of the above at once, from one reading of the file: what a row of a
// list shows of an item.
struct LinkSummary {
    std::string displayName; // ReadLinkDisplayName
    std::string comment;     // ReadLinkComment
    std::string target;      // ReadLinkTarget
    std::string iconFile;    // ReadLinkIconLocation
    int iconIndex = 0;
};
LinkSummary ReadLinkSummary(const std::filesystem::path& linkFile);

// The window class the item of a link file shows its windows under, where
// its file says or implies one (a desktop entry's StartupWMClass=, else its
// file name without ".desktop"); "" otherwise.
std::string ReadWindowClass(const std::filesystem::path& linkFile);

// Whether a file is a program this system runs (not a document that opens
// in one): an executable file here, an .exe, .com, .bat or .cmd on Windows.
bool IsProgramFile(const std::filesystem::path& file);

// The program's version: parts selects 1 major, 2 minor, 4 release, 8 build,
// joined by "." in that order.
std::string VersionText(unsigned parts);

// The folder an item starts in when its link or entry names none: on Windows
// the item's own folder, as the shell does there; on the freedesktop desktops
// the user's home folder, as their launchers do.
std::filesystem::path DefaultStartFolder(const std::filesystem::path& itemFolder);

// The user's desktop folder.
std::filesystem::path DesktopFolder();

// The Options check box that sets up the logon autostart, in this
// platform's words.
extern const char* const kAutostartCaption;

// The file dialog of "Add application": its filters (applications,
// programs, all files, in Qt's filter syntax) and the folder it opens in.
extern const char* const kProgramFileFilters;
// The icon chooser's file dialog filters: the files this platform keeps icons in.
extern const char* const kIconFileFilters;
std::filesystem::path ProgramBrowseFolder();

// The logon autostart entry and the command it runs ("" when there is none).
std::filesystem::path AutostartFile();
std::string ReadAutostartCommand();
// False when the entry could not be written.
bool WriteAutostartCommand(const std::string& command);
// False when an entry is there and could not be removed (none is no failure).
bool RemoveAutostart();
// The command that starts exe's startup menu: the quoted path and "-startup".
std::string AutostartCommandFor(const std::filesystem::path& exe);

// The running executable's full path.
std::filesystem::path ExecutablePath();

// The program's arguments (without its own name) as UTF-8 text.
std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace korvane::shell
