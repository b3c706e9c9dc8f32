#pragma once

#include "store/batch_edit.h"
#include "store/catalogue.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimeEdit;

namespace korvane {

// Sets what the startup menu does by itself: logon autostart, default batch,
// countdown and transparency. Loads afresh on every showing; writes only on
// "Save options".
class TOptionsForm : public QDialog {
    Q_OBJECT

  public:
    // batches gives the rows of the editor's batch list, in its order.
    TOptionsForm(ProgramFiles& files, std::function<std::vector<BatchRef>()> batches,
                 QWidget* parent = nullptr);

    void FormShow();
    void Button1Click();
    void DefaultStartCheckClick();
    void TransCheckClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    ProgramFiles& files_;
    std::function<std::vector<BatchRef>()> batches_;
    std::vector<BatchRef> shown_; // what the combo lists, as it was read
    bool chosen_ = false;         // the user picked a default batch in this showing
    QCheckBox* StartupCheck = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* BatchCombo = nullptr;
    QCheckBox* DefaultStartCheck = nullptr;
    QLabel* Label1 = nullptr;
    QTimeEdit* DefaultStartInterval = nullptr;
    QCheckBox* TransCheck = nullptr;
    QCheckBox* NotifyCheck = nullptr;
    QSlider* TransVal = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

} // namespace korvane
