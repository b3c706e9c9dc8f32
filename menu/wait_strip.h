#pragma once

#include "shell/readiness.h"

#include <QFrame>

#include <chrono>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace korvane {

// While a launch from the startup menu waits (a pause, an item getting
// ready), a small strip on top of everything says for what and counts down
// the time it waits at most. Escape, or its Stop button, stops the launch
// there: what started keeps running.
class TWaitStrip : public QFrame {
    Q_OBJECT

  public:
    explicit TWaitStrip(QWidget* parent = nullptr);

    // Runs work on a thread of its own, the strip shown with text and a
    // countdown of limit, the events of this thread running meanwhile.
    shell::Readiness Wait(const QString& text, std::chrono::milliseconds limit,
                          std::function<shell::Readiness()> work);

    QLabel* WaitLabel = nullptr;
    QProgressBar* WaitProgress = nullptr;
    QPushButton* StopButton = nullptr;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Stop();
};

} // namespace korvane
