// Whether the state folder can be trusted: what is in it runs as the user.
#include "store/catalogue.h"
#include "store/utf8.h"

#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace korvane {

namespace {

std::string UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->pw_name;
    }
    return "user " + std::to_string(uid);
}

// A group may write when it is the owner's own: it has no member but the
// owner (the groups many systems give each user, with a umask of 002).
bool OwnersOwnGroup(const struct stat& st) {
    std::vector<char> groupBuffer(65536), userBuffer(16384);
    group g{};
    group* foundGroup = nullptr;
    passwd u{};
    passwd* foundUser = nullptr;
    if (::getgrgid_r(st.st_gid, &g, groupBuffer.data(), groupBuffer.size(), &foundGroup) != 0 ||
        !foundGroup ||
        ::getpwuid_r(st.st_uid, &u, userBuffer.data(), userBuffer.size(), &foundUser) != 0 ||
        !foundUser) {
        return false;
    }
    if (foundGroup->gr_mem && foundGroup->gr_mem[0]) {
        return std::strcmp(foundGroup->gr_mem[0], foundUser->pw_name) == 0 &&
               !foundGroup->gr_mem[1];
    }
    return foundUser->pw_gid == st.st_gid;
}

std::string Quoted(const fs::path& path) {
    return "\"" + utf8::FromPath(path) + "\"";
}

} // namespace

std::optional<std::string> StateFolderProblem(const ProgramFiles& files) {
    const uid_t me = ::geteuid();
    for (const fs::path& path :
         {files.folder, files.catalogue.FileName(), files.folder / "Shortcuts"}) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            continue; // not made yet: nobody has planted anything
        }
        if (st.st_uid != me && st.st_uid != 0) {
            return "Korvane does not use " + Quoted(path) + ": it belongs to " +
                   UserName(st.st_uid) +
                   ", who could make Korvane start any program as you. Make it yours (as root: "
                   "chown " + UserName(me) + " " + Quoted(path) +
                   ") or use a state folder of your own.";
        }
        if ((st.st_mode & S_IWOTH) || ((st.st_mode & S_IWGRP) && !OwnersOwnGroup(st))) {
            return "Korvane does not use " + Quoted(path) +
                   ": other users can write to it, and so could make Korvane start any program "
                   "as you. Make it writable by you alone: chmod go-w " + Quoted(path);
        }
    }
    return std::nullopt;
}

} // namespace korvane
