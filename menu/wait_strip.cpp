#include "menu/wait_strip.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <thread>

namespace korvane {

TWaitStrip::TWaitStrip(QWidget* parent)
    : QFrame(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("WaitStrip"));
    setWindowTitle(QStringLiteral("Korvane"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    auto* top = new QHBoxLayout;
    WaitLabel = new QLabel(this);
    WaitLabel->setObjectName(QStringLiteral("WaitLabel"));
    WaitLabel->setWordWrap(true); // a long name takes a second line
    top->addWidget(WaitLabel, 1);
    StopButton = new QPushButton(QStringLiteral("Stop"), this);
    StopButton->setObjectName(QStringLiteral("StopButton"));
    StopButton->setToolTip(QStringLiteral("Start nothing more (Esc); what started keeps running"));
    top->addWidget(StopButton);
    layout->addLayout(top);
    WaitProgress = new QProgressBar(this);
    WaitProgress->setObjectName(QStringLiteral("WaitProgress"));
    WaitProgress->setTextVisible(false);
    WaitProgress->setMaximumHeight(8);
    layout->addWidget(WaitProgress);
    connect(StopButton, &QPushButton::clicked, this, [this] { Stop(); });
}

shell::Readiness TWaitStrip::Wait(const QString& text, std::chrono::milliseconds limit,
                                  std::function<shell::Readiness()> work) {
    WaitLabel->setText(text);
    StopButton->setEnabled(true);
    const int total = static_cast<int>(std::max<long long>(1, limit.count()));
    WaitProgress->setRange(0, total);
    WaitProgress->setValue(total);
    show();
    raise();
    activateWindow();
    StopButton->setFocus();

    QEventLoop loop;
    shell::Readiness result;
    // The loop ends only when the work has: a stop makes the work end soon.
    std::thread worker([&] {
        result = work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    const auto start = std::chrono::steady_clock::now();
    QTimer countdown;
    connect(&countdown, &QTimer::timeout, this, [&] {
        const auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        WaitProgress->setValue(std::max(0, total - static_cast<int>(passed.count())));
    });
    countdown.start(100);
    loop.exec();
    worker.join();
    hide();
    return result;
}

void TWaitStrip::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Stop();
        return;
    }
    QFrame::keyPressEvent(event);
}

void TWaitStrip::Stop() {
    StopButton->setEnabled(false);
    WaitLabel->setText(QStringLiteral("Stopping..."));
    shell::CancelWaits();
}

} // namespace korvane
