// Icon files: counting and extracting icons of any bytes never crashes.
#include "gui/icons.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    static const std::string file = "/tmp/korvane-fuzz-" + std::to_string(::getpid()) + ".ico";
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const QString path = QString::fromStdString(file);
    const int count = korvane::IconCount(path);
    for (int i = 0; i < count && i < 64; ++i) {
        (void)korvane::ExtractIcon(path, i).pixmap(32, 32);
    }
    std::remove(file.c_str());
    return 0;
}
