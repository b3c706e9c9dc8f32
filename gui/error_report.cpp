#include "gui/error_report.h"

#include "app/error_text.h"
#include "app/program.h"

#include <QMessageBox>

namespace korvane {

namespace {

ErrorSink& Sink() {
    static ErrorSink sink;
    return sink;
}

} // namespace

void SetErrorSink(ErrorSink sink) {
    Sink() = std::move(sink);
}

void ShowMessage(QWidget* parent, const QString& message) {
    if (Sink()) {
        Sink()(message);
        return;
    }
    QMessageBox::information(parent, QString::fromLatin1(kApplicationTitle), message);
}

void ReportError(QWidget* parent, const std::exception& error) {
    const QString message = QString::fromStdString(WithFullStop(error.what()));
    if (Sink()) {
        Sink()(message);
        return;
    }
    QMessageBox::critical(parent, QString::fromLatin1(kApplicationTitle), message);
}

} // namespace korvane
