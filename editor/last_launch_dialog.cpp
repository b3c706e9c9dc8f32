#include "editor/last_launch_dialog.h"

#include "gui/dialog_frame.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace korvane {

namespace {

// Green went well, red did not, grey was passed over or waited out; the
// words beside the mark say the same for those who cannot tell the colours.
QIcon Mark(ItemOutcome outcome) {
    QColor colour(0x9e, 0x9e, 0x9e);
    if (outcome == ItemOutcome::Started) {
        colour = QColor(0x2e, 0x7d, 0x32);
    } else if (outcome == ItemOutcome::NotFound || outcome == ItemOutcome::FailedToStart) {
        colour = QColor(0xc6, 0x28, 0x28);
    }
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        const qreal inset = size / 4.0;
        painter.drawEllipse(QRectF(inset, inset, size - 2 * inset, size - 2 * inset));
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string OriginWords(const std::string& origin) {
    if (origin == "editor") {
        return "from the editor";
    }
    if (origin == "startup menu") {
        return "from the startup menu";
    }
    if (origin == "startup menu countdown") {
        return "by the startup menu's countdown";
    }
    if (origin == "command") {
        return "by a command (a desktop shortcut, a script or a terminal)";
    }
    return origin.empty() ? std::string("by an unknown program") : "by " + origin;
}

} // namespace

std::string RunSummaryText(const std::string& batch, const std::optional<LaunchReport>& report) {
    if (!report) {
        return "\"" + batch + "\" has not been launched since this program began keeping reports.";
    }
    const std::string began = report->began.size() >= 19 ? "on " + report->began.substr(0, 10) +
                                                               " at " + report->began.substr(11, 8)
                                                         : report->began;
    std::string text = "Launched " + OriginWords(report->origin) + " " + began + ". ";
    if (report->end.empty()) {
        text += "The run did not say how it ended: it was stopped from outside, or is still "
                "running.";
    } else {
        // "finished", "stopped at item 4, ...", "cancelled after item 1"
        text += "At " + report->endTime.substr(0, 8) + " it " +
                (report->end.starts_with("cancelled") ? "was " : "") + report->end + ".";
    }
    return text;
}

TLastLaunchForm::TLastLaunchForm(const std::string& batch,
                                 const std::optional<LaunchReport>& report, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("LastLaunchForm"));
    setWindowTitle(QStringLiteral("Last launch of \"%1\"").arg(Q(batch)));
    auto* layout = new QVBoxLayout(this);
    Summary = new QLabel(Q(RunSummaryText(batch, report)), this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Summary);

    ReportList = new QTreeWidget(this);
    ReportList->setObjectName(QStringLiteral("ReportList"));
    ReportList->setRootIsDecorated(false);
    ReportList->setUniformRowHeights(true);
    ReportList->setSelectionMode(QAbstractItemView::SingleSelection);
    ReportList->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Item"),
                                 QStringLiteral("What happened"), QStringLiteral("Time"),
                                 QStringLiteral("Details")});
    if (report) {
        for (const ItemRecord& item : report->items) {
            std::string happened(OutcomeWord(item.outcome));
            if (item.processId > 0) {
                happened += " (process " + std::to_string(item.processId) + ")";
            }
            auto* row = new QTreeWidgetItem(
                ReportList, {QString::number(item.index + 1), Q(item.name), Q(happened),
                             Q(item.time.substr(0, 8)), Q(item.detail)});
            row->setIcon(0, Mark(item.outcome));
            row->setToolTip(4, Q(item.detail));
        }
    }
    ReportList->header()->setStretchLastSection(true);
    for (int column = 0; column < 4; ++column) {
        ReportList->resizeColumnToContents(column);
    }
    ReportList->setEnabled(report.has_value());
    layout->addWidget(ReportList, 1);

    auto* buttons = new QHBoxLayout;
    OpenReportButton = new QPushButton(QStringLiteral("&Open report file"), this);
    OpenReportButton->setObjectName(QStringLiteral("OpenReportButton"));
    OpenReportButton->setEnabled(report.has_value() && !report->file.empty());
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setDefault(true);
    buttons->addWidget(OpenReportButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    connect(OpenReportButton, &QPushButton::clicked, this, &TLastLaunchForm::openReport);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    resize(640, 360);
    CentreOnEveryShow(this);
}

} // namespace korvane
