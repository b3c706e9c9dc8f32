#pragma once

#include "store/item_wait.h"

#include <QGroupBox>

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace korvane {

// "Before the next item": what an application item waits for once started,
// and for how long at most. Part of the item's property sheet.
class TWaitSection : public QGroupBox {
    Q_OBJECT

  public:
    explicit TWaitSection(QWidget* parent = nullptr);

    // windowLimitation: why this session cannot see windows appear ("" when it can).
    void Show(const ItemWait& wait, const std::string& windowLimitation);
    ItemWait Collected() const;

    QComboBox* WaitKindCombo = nullptr;
    QLineEdit* WaitTargetEdit = nullptr;
    QSpinBox* WaitLimitSpin = nullptr;
    QLabel* WaitNoteLabel = nullptr;

  private:
    void UpdateFields();

    QLabel* targetLabel_ = nullptr;
    std::string windowLimitation_;
};

} // namespace korvane
