#pragma once

#include "shell/application_list.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvane {

// "Add application": the applications of the desktop's menu, found by
// typing, several at once, and "Browse…" for any other file. Chosen() holds
// the files to add once the dialog is accepted.
class ApplicationPicker : public QDialog {
    Q_OBJECT

  public:
    ApplicationPicker(std::vector<shell::InstalledApplication> applications, QWidget* parent);

    QStringList Chosen() const { return chosen_; }

    // The file dialog "Browse…" opens; tests answer it themselves.
    std::function<QStringList()> browse;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Filter(const QString& typed);
    void AddSelected();
    void Browse();

    std::vector<shell::InstalledApplication> applications_;
    QLineEdit* search_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QStringList chosen_;
};

// Lets the user choose applications to add: the picker where the desktop
// lists applications, the file dialog alone where it lists none. Empty when
// cancelled.
QStringList ChooseApplications(QWidget* parent);

} // namespace korvane
