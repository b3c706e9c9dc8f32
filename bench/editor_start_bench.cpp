// Editor start to its first painted window, for an empty catalogue and for
// 1,000 batches. Prints "<batches>,<median ms>" lines.
#include "editor/editor_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FirstPaint : public QObject {
  public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            painted = true;
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int repeat = argc > 1 ? std::atoi(argv[1]) : 5;
    for (const int batches : {0, 1000}) {
        const fs::path dir =
            fs::temp_directory_path() / ("korvane-editor-bench-" + std::to_string(batches));
        fs::create_directories(dir);
        {
            std::ofstream out(dir / "batches.lst", std::ios::trunc);
            for (int i = 0; i < batches; ++i) {
                out << "[Batch " << i << "]\r\nID=" << i << "\r\n";
            }
        }
        std::vector<qint64> times;
        for (int r = 0; r < repeat; ++r) {
            korvane::ProgramFiles files(dir / "korvane");
            QElapsedTimer timer;
            timer.start();
            korvane::TForm1 form(files);
            FirstPaint watcher;
            form.installEventFilter(&watcher);
            form.show();
            while (!watcher.painted && timer.elapsed() < 10000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            times.push_back(timer.elapsed());
        }
        std::sort(times.begin(), times.end());
        std::printf("%d,%lld\n", batches, static_cast<long long>(times[times.size() / 2]));
    }
    return 0;
}
