// A random-input soak of the editor: real mouse and key events on its rows,
// buttons, menus and dialogs, drops of files, and other programs changing
// batches.lst and Shortcuts/ meanwhile. After every few actions the lists
// must mirror the files, every batch must keep its ID and no temporary file
// may be left.
//
//   editor_soak [--seed N] [--actions N] [--dir FOLDER] [--keep 1]
//
// The soak runs in FOLDER/seed-N (program folder, home, scripts, the action
// log); the folder is removed when the run passes and kept, with the log and
// the catalogue, when it fails, crashes or stops answering. A run as root
// drops to "nobody" first: file modes count, and nothing the soak starts can
// harm the machine. Launches open only the soak's own scripts.
#include "soak_driver.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Options {
    unsigned seed = 1;
    int actions = 300;
    fs::path dir = fs::temp_directory_path() / "korvane-soak";
    bool keep = false; // the folder of a passing run too
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--seed") {
            o.seed = static_cast<unsigned>(std::stoul(argv[i + 1]));
        } else if (key == "--actions") {
            o.actions = std::stoi(argv[i + 1]);
        } else if (key == "--dir") {
            o.dir = argv[i + 1];
        } else if (key == "--keep") {
            o.keep = std::string(argv[i + 1]) == "1";
        }
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = ParseOptions(argc, argv);
    const fs::path work = o.dir / ("seed-" + std::to_string(o.seed));
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::create_directories(work);
    std::fprintf(stderr, "soak: seed %u, %d actions, in %s\n", o.seed, o.actions, work.c_str());
    std::fflush(stderr);

    // The soak itself runs in a child: whatever happens to it (a crash, a
    // sanitizer's report, a watchdog's abort), this process tells and keeps
    // what is needed to replay it.
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        korvane::soak::PrepareChild(work);
        QApplication app(argc, argv);
        korvane::soak::Driver driver(work, o.seed, o.actions);
        std::exit(driver.Run());
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        if (!o.keep) {
            fs::remove_all(work, ec);
        }
        std::fprintf(stderr, "soak: seed %u passed\n", o.seed);
        return 0;
    }
    if (WIFSIGNALED(status)) {
        std::fprintf(stderr, "soak: seed %u: the editor died (signal %d)\n", o.seed,
                     WTERMSIG(status));
    } else {
        std::fprintf(stderr, "soak: seed %u failed (exit %d)\n", o.seed, WEXITSTATUS(status));
    }
    std::fprintf(stderr,
                 "soak: kept %s (actions.log, program/batches.lst, program/Shortcuts); replay "
                 "with --seed %u --actions %d\n",
                 work.c_str(), o.seed, o.actions);
    return 1;
}
