#pragma once

#include <QString>
#include <QWidget>

#include <exception>
#include <functional>

namespace korvane {

// The window modes' general error report: a message box captioned
// "Korvane" with the error's message and its full stop.
void ReportError(QWidget* parent, const std::exception& error);

// A message box with an OK button, captioned "Korvane".
void ShowMessage(QWidget* parent, const QString& message);

// Tests take the reports instead of a modal box.
using ErrorSink = std::function<void(const QString& message)>;
void SetErrorSink(ErrorSink sink);

// Runs an event handler; an error it raises goes to the report and the
// handler stops there. Qt must never see an exception.
template <class F> bool Guarded(QWidget* parent, F&& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        ReportError(parent, error);
    } catch (...) {
        ReportError(parent, std::runtime_error("Unexpected error"));
    }
    return false;
}

} // namespace korvane
