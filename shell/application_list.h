#pragma once

// The applications installed for this user, as the desktop's applications
// menu lists them: what "Add application" offers.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::shell {

struct InstalledApplication {
    std::string id;             // the desktop file id ("org.xfce.mousepad.desktop")
    std::filesystem::path file; // the entry that id names here
    std::string name;           // localized Name=
    std::string genericName;    // localized GenericName=
    std::string comment;        // localized Comment=
    std::string keywords;       // localized Keywords=, as written
    std::string icon;           // Icon=: a theme name or a file
};

// The applications of the menu, sorted by name (case folded): desktop
// entries of type Application under the "applications" folder of
// $XDG_DATA_HOME and of each $XDG_DATA_DIRS, with Flatpak's and Snap's
// exports; a desktop file id found twice counts where it is found first;
// entries that are hidden, NoDisplay, shown only in other desktops
// (OnlyShowIn/NotShowIn against currentDesktops, the parts of
// $XDG_CURRENT_DESKTOP) or whose TryExec program is missing are left out.
// Empty where the system keeps no such entries (Windows).
std::vector<InstalledApplication> ListInstalledApplications();
std::vector<InstalledApplication>
ListInstalledApplications(const std::vector<std::string>& currentDesktops);

// The parts of $XDG_CURRENT_DESKTOP ("ubuntu:GNOME" gives two).
std::vector<std::string> CurrentDesktops();

// The non-empty parts of a list ("a;b;" or "a:b").
std::vector<std::string> SplitList(std::string_view text, char separator);

// Whether an application matches what the user typed: every blank-separated
// word is found, ignoring case, in its name, generic name, comment,
// keywords or id.
bool MatchesSearch(const InstalledApplication& app, std::string_view typed);

} // namespace korvane::shell
