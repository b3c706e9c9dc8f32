#pragma once
// The hands of the editor's soak: random actions on whatever window is in
// front (a menu, a dialog, a link sheet, the editor), other programs'
// changes to the files, and the checks between them.
#include "store/catalogue.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

class QMenu;
class QWidget;

namespace korvane {
class TForm1;
}

namespace korvane::soak {

// The child's world: its own home and program folder, harmless scripts to
// launch, no programs on PATH, no desktop handlers; as "nobody" when root.
void PrepareChild(const std::filesystem::path& work);

// The link sheets on screen (they are not modal).
std::vector<QWidget*> OpenSheets();

class Driver : public QObject {
  public:
    Driver(std::filesystem::path work, unsigned seed, int actions);
    ~Driver() override;
    // Runs the soak; 0 when every check held.
    int Run();

  private:
    void OpenEditor();
    void Tick();
    void Act();
    void ActOnPopup(QWidget* popup);
    void ActOnDialog(QWidget* dialog);
    void ActOnEditor();
    void OutsideChange();
    void DropFiles();
    void Finish();
    // The lists against the files, once the editor is quiet.
    bool Check(const char* when);
    std::string Problem();
    void Fail(const std::string& why);
    void Log(const std::string& line);
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int percent) { return Pick(100) < percent; }
    std::filesystem::path AnyScript();
    std::string HostileText();

    std::filesystem::path work_;
    std::mt19937 random_;
    int actions_;
    int done_ = 0;
    std::vector<int> levels_; // event-loop levels of the actions under way
    bool launching_ = false;
    bool checking_ = false;
    int checkedAt_ = -1;
    int closeTries_ = 0;
    bool finished_ = false;
    int result_ = 0;
    std::map<QWidget*, int> dialogActions_;
    std::vector<std::filesystem::path> scripts_;
    std::unique_ptr<ProgramFiles> files_;
    std::unique_ptr<ProgramFiles> other_; // another program on the same files
    std::unique_ptr<TForm1> form_;
    std::FILE* log_ = nullptr;
    std::atomic<long long> lastTick_{0};
    std::atomic<bool> stop_{false};
    std::thread watchdog_;
};

} // namespace korvane::soak
