#pragma once

#include <QDialog>
#include <QString>

#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvane {

// A list to pick rows from with check boxes, in an order the user sets with
// Up and Down: what to take from the session's autostart, what to give back.
class TPickListForm : public QDialog {
    Q_OBJECT

  public:
    struct Row {
        QString text;
        QString toolTip;
    };
    TPickListForm(const QString& title, const QString& prompt, const std::vector<Row>& rows,
                  const QString& confirmText, QWidget* parent = nullptr);

    // The rows checked, as indexes into the rows given, in the order shown.
    std::vector<int> Chosen() const;

    QLabel* Prompt = nullptr;
    QListWidget* PickList = nullptr;
    QPushButton* UpButton = nullptr;
    QPushButton* DownButton = nullptr;
    QPushButton* ConfirmButton = nullptr;
    QPushButton* CancelButton = nullptr;

  private:
    void Move(int delta);
    void UpdateButtons();
};

} // namespace korvane
