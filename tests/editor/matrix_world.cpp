#include "matrix_world.h"

#include "by_hand.h"
#include "store/file_io.h"
#include "store/sweep.h"
#include "store/utf8.h"

#include <cerrno>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace korvane::test {

namespace {

const std::string kCatalogue = "[A]\r\nID=1\r\nItem0=File;1\\;Active\r\n"
                               "Item1=Interval;0:00:00;Active\r\nItem2=File;2\\;Active\r\n"
                               "[B]\r\nID=2\r\nItem0=File;1\\;Active\r\n";

std::string LinkTo(const fs::path& target) {
    return "[Shell Link]\nTarget=" + target.string() + "\nWorkingDirectory=/\n";
}

int Lines(const fs::path& file) {
    std::istringstream in(ReadFile(file));
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        ++n;
    }
    return n;
}

void SetEnv(const char* name, const fs::path& value) {
    ::setenv(name, value.c_str(), 1);
}

int cells = 0;

} // namespace

const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::None:
        return "none";
    case Fault::DeletedMeanwhile:
        return "deleted meanwhile";
    case Fault::RenamedMeanwhile:
        return "renamed meanwhile";
    case Fault::ReadOnlyCatalogue:
        return "read-only catalogue";
    case Fault::ReadOnlyFolders:
        return "read-only folders";
    case Fault::FullDisk:
        return "full disk";
    case Fault::NoInodes:
        return "no inodes";
    case Fault::LinkedItemFolder:
        return "linked item folder";
    case Fault::LinkedBatchFolder:
        return "linked batch folder";
    case Fault::PipeCatalogue:
        return "pipe for the catalogue";
    case Fault::PipeSettings:
        return "pipe for the settings";
    case Fault::PipeLink:
        return "pipe for a link";
    }
    return "?";
}

bool DuringDialog(Fault fault) {
    return fault == Fault::DeletedMeanwhile || fault == Fault::RenamedMeanwhile;
}

bool OnSmallDisk(Fault fault) {
    return fault == Fault::FullDisk || fault == Fault::NoInodes;
}

SmallDisks& Disks() {
    static SmallDisks disks;
    return disks;
}

World::World(Fault f, bool realProgram) : fault(f) {
    outside = outsideDir_.path();
    const fs::path disk = fault == Fault::FullDisk   ? Disks().full
                          : fault == Fault::NoInodes ? Disks().inodes
                                                     : outside;
    prog = disk / ("prog-" + std::to_string(++cells));
    sentinel = outside / "sentinel";
    tool = outside / "bin" / "tool.sh";
    WriteFile(tool, "#!/bin/sh\necho \"$0 $*\" >> '" + (outside / "marker.log").string() + "'\n");
    fs::permissions(tool, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    WriteFile(sentinel / "thesis.odt", "three years of work");
    WriteFile(sentinel / "1" / "tool.sh.lnk", LinkTo(tool));
    WriteFile(sentinel / "2" / "notes.txt", "notes");
    WriteFile(outside / "src" / "Tool.lnk", LinkTo(tool));
    WriteFile(outside / "apps" / "Tool.desktop",
              "[Desktop Entry]\nType=Application\nName=Tool\nExec=" + tool.string() + "\n");
    WriteFile(outside / "home" / "config" / "autostart" / "Foo.desktop",
              "[Desktop Entry]\nType=Application\nName=Foo\nExec=" + tool.string() + "\n");
    fs::create_directories(outside / "home" / "Desktop");
    fs::create_directories(outside / "xdg");
    SetEnv("HOME", outside / "home");
    SetEnv("XDG_CONFIG_HOME", outside / "home" / "config");
    SetEnv("XDG_CONFIG_DIRS", outside / "xdg");
    ::unsetenv("XDG_CURRENT_DESKTOP");

    fs::create_directories(prog);
    if (realProgram) {
        fs::copy_file(KORVANE_EXE, prog / "korvane");
    } else {
        // Notices of launches are shown by a process of the program's own.
        WriteFile(prog / "korvane",
                  "#!/bin/sh\necho \"$*\" >> '" + (outside / "notices.log").string() + "'\n");
    }
    fs::permissions(prog / "korvane", fs::perms::owner_all);
    WriteFile(prog / "batches.lst", kCatalogue);
    WriteFile(prog / "korvane.ini", "[Basic]\r\nDefaultBatch=A\r\nNotifyProblems=1\r\n");
    for (const char* item : {"1/1", "1/2", "2/1"}) {
        WriteFile(prog / "Shortcuts" / item / "tool.sh.lnk", LinkTo(tool));
    }
    files = std::make_unique<ProgramFiles>(prog / "korvane");
    sentinelBefore_ = TreeText(sentinel);
}

World::~World() {
    Mend();
    std::error_code ec;
    fs::remove_all(prog, ec);
}

void World::SaveAside(const fs::path& file) {
    saved_.emplace_back(file, ReadFile(file));
    fs::remove(file);
    if (::mkfifo(file.c_str(), 0600) != 0) {
        throw std::runtime_error("no pipe could be made at " + file.string());
    }
}

void World::Fill() {
    ballast_ = prog.parent_path() / ("ballast-" + prog.filename().string());
    fs::create_directories(ballast_);
    if (fault == Fault::NoInodes) {
        for (int n = 0;; ++n) {
            const int fd = ::open((ballast_ / std::to_string(n)).c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                break; // ENOSPC: no inode left
            }
            ::close(fd);
        }
        return;
    }
    const int fd = ::open((ballast_ / "ballast").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    std::string chunk(1 << 20, 'x');
    while (!chunk.empty()) {
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
            chunk.resize(chunk.size() / 2); // the last blocks, ever smaller
        }
    }
    ::close(fd);
}

void World::Spoil() {
    const fs::path shortcuts = prog / "Shortcuts";
    switch (fault) {
    case Fault::ReadOnlyCatalogue:
        fs::permissions(prog / "batches.lst", fs::perms::owner_read | fs::perms::group_read);
        break;
    case Fault::ReadOnlyFolders:
        for (const fs::path& folder : {shortcuts, shortcuts / "1"}) {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        }
        break;
    case Fault::FullDisk:
    case Fault::NoInodes:
        Fill();
        break;
    case Fault::LinkedItemFolder:
        fs::remove_all(shortcuts / "1" / "2");
        fs::create_directory_symlink(sentinel / "1", shortcuts / "1" / "2");
        break;
    case Fault::LinkedBatchFolder:
        fs::remove_all(shortcuts / "1");
        fs::create_directory_symlink(sentinel, shortcuts / "1");
        break;
    case Fault::PipeCatalogue:
        SaveAside(prog / "batches.lst");
        break;
    case Fault::PipeSettings:
        SaveAside(prog / "korvane.ini");
        break;
    case Fault::PipeLink:
        SaveAside(shortcuts / "1" / "2" / "tool.sh.lnk");
        break;
    case Fault::None:
    case Fault::DeletedMeanwhile:
    case Fault::RenamedMeanwhile:
        break;
    }
}

void World::Meanwhile(const std::string& batch) {
    TIniFile other(prog / "batches.lst");
    if (fault == Fault::DeletedMeanwhile) {
        other.RemoveSection(batch);
    } else if (fault == Fault::RenamedMeanwhile) {
        other.RenameSection(batch, batch + " renamed");
    }
}

void World::Mend() {
    std::error_code ec;
    fs::permissions(prog / "batches.lst", fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::add, ec);
    for (const fs::path& folder : {prog / "Shortcuts", prog / "Shortcuts" / "1"}) {
        if (!fs::is_symlink(folder, ec)) {
            fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    if (!ballast_.empty()) {
        fs::remove_all(ballast_, ec);
        ballast_.clear();
    }
    for (const auto& [file, bytes] : saved_) {
        fs::remove(file, ec);
        WriteFile(file, bytes);
    }
    saved_.clear();
}

std::vector<std::string> World::Broken() const {
    std::vector<std::string> broken;
    const auto say = [&](const std::string& what) { broken.push_back(what); };
    TIniFile catalogue(prog / "batches.lst");
    try {
        CheckReadable(catalogue);
    } catch (const std::exception& error) {
        say(std::string("the catalogue does not read: ") + error.what());
        return broken;
    }
    // Every batch has an ID of its own, a number.
    std::set<std::string> ids;
    const fs::path shortcuts = prog / "Shortcuts";
    std::set<fs::path> named;
    for (const std::string& batch : catalogue.AllSections()) {
        const std::string id = catalogue.ReadText(batch, "ID", "");
        if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
            say("[" + batch + "] has no numeric ID: \"" + id + "\"");
        } else if (!ids.insert(id).second) {
            say("[" + batch + "] shares the ID " + id);
        }
        named.insert(shortcuts / id);
        // Every application names a folder that holds its file.
        ForEachItem(catalogue, batch, [&](int n, const tqAppInfo& item) {
            if (item.Kind != TItemKind::ikFile) {
                return true;
            }
            const auto folder = ItemFolder(shortcuts / id, item.Folder);
            if (!folder) {
                return true;
            }
            named.insert(folder->parent_path());
            const bool linkedByTheFault =
                KindOf(*folder) == EntryKind::Link &&
                (fault == Fault::LinkedItemFolder || fault == Fault::LinkedBatchFolder);
            if (!linkedByTheFault && FindItemFile(*folder).empty()) {
                say("[" + batch + "] Item" + std::to_string(n) + " names " +
                    utf8::FromPath(*folder) + ", which holds no file");
            }
            return true;
        });
    }
    // No folder is left that is neither named nor one the sweep takes.
    const auto leftovers = FindLeftovers(*files);
    const std::set<fs::path> sweepable(leftovers.begin(), leftovers.end());
    std::error_code ec;
    for (fs::recursive_directory_iterator it(shortcuts, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it.depth() > 1) {
            it.disable_recursion_pending();
            continue;
        }
        const fs::path path = it->path();
        if (it->is_symlink(ec)) {
            continue; // the fault's own
        }
        if (it->is_directory(ec) && !named.count(path) && !sweepable.count(path)) {
            say(utf8::FromPath(path) + " is left, and the sweep would not take it");
        }
    }
    // No temporary, and no file made and left empty.
    for (const fs::path& folder : {prog, outside / "home"}) {
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = utf8::FromPath(it->path().filename());
            if (name.find(".tmp-") != std::string::npos) {
                say("a temporary is left: " + utf8::FromPath(it->path()));
            }
            if (it->is_regular_file(ec) && !it->is_symlink(ec) && it->file_size(ec) == 0 &&
                it->path().parent_path().filename() != "ballast") {
                say("an empty file is left: " + utf8::FromPath(it->path()));
            }
        }
    }
    if (TreeText(sentinel) != sentinelBefore_) {
        say("the sentinel tree changed:\n" + TreeText(sentinel));
    }
    return broken;
}

int World::Started(int count) const {
    const fs::path marker = outside / "marker.log";
    WaitFor([&] { return Lines(marker) >= count; }, std::chrono::seconds(3));
    return Lines(marker);
}

int World::Notices() const {
    const fs::path log = outside / "notices.log";
    WaitFor([&] { return Lines(log) > 0; }, std::chrono::seconds(2));
    return Lines(log);
}

std::string TreeText(const fs::path& folder) {
    std::string text;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        text += it->path().lexically_relative(folder).string();
        if (it->is_symlink(ec)) {
            text += " -> " + fs::read_symlink(it->path(), ec).string();
        } else if (it->is_regular_file(ec)) {
            text += ": " + ReadFile(it->path());
        }
        text += "\n";
    }
    return text;
}

} // namespace korvane::test
