#pragma once

#include "app/launch_report.h"

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace korvane {

// "Last launch": what the newest run of a batch did, one row per item.
class TLastLaunchForm : public QDialog {
    Q_OBJECT

  public:
    TLastLaunchForm(const std::string& batch, const std::optional<LaunchReport>& report,
                    QWidget* parent = nullptr);

    QLabel* Summary = nullptr;
    QTreeWidget* ReportList = nullptr;
    QPushButton* OpenReportButton = nullptr;
    QPushButton* CloseButton = nullptr;

  signals:
    // The user asked to see the report file itself.
    void openReport();
};

// The sentence above the rows: who started the run, when, and how it ended.
std::string RunSummaryText(const std::string& batch, const std::optional<LaunchReport>& report);

} // namespace korvane
