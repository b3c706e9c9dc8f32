#pragma once

// What the desktop session starts by itself at logon, and taking entries
// from it into a batch and giving them back. One implementation per
// platform: XDG autostart on the freedesktop desktops; on Windows the Run
// values and the Startup folder.

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::shell {

struct SessionStart {
    std::string id;             // unique among them: an entry's file name
    std::string name;           // what people call it
    std::string detail;         // what it runs and from where, for a tooltip
    std::filesystem::path file; // the file an item copies (a desktop entry, a link)
    std::string command;        // or, where the session keeps a command line, that
    bool system = false;        // set up for every user, not this one's own
};

// What the session starts at the next logon, in a steady order; never this
// program's own startup menu. Entries the session passes over (hidden,
// switched off, meant for other desktops) are not listed.
std::vector<SessionStart> ListSessionStarts();

// Switches the entry off the platform's standard way (on the freedesktop
// desktops: Hidden=true in the user's own entry of that name), touching
// nothing outside the user's own configuration. What is needed to give it
// back goes into the folder keep. Throws Error when it cannot be done; then
// nothing has changed.
void TakeFromSession(const SessionStart& entry, const std::filesystem::path& keep);

struct TakenStart {
    std::string id;
    std::string name;
};
// The entries taken and not given back, as keep records them.
std::vector<TakenStart> ListTaken(const std::filesystem::path& keep);

// Restores exactly what the session had before the entry was taken: the
// user's own entry byte for byte, or the entry this program added removed.
// Throws Error, saying which file and what the user can do, when the user's
// configuration changed since in a way that giving back would overwrite (an
// entry edited, or the user's own entry deleted, since it was taken); then
// nothing has changed. An entry that is as it was before already is left
// alone and no longer counts as taken.
void GiveBackToSession(const std::string& id, const std::filesystem::path& keep);

} // namespace korvane::shell
