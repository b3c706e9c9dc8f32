#pragma once

#include "gui/current_batch.h"
#include "store/catalogue.h"

#include <QDialog>
#include <QIcon>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvane {

// An icon: a file ("" for the default icon) and the index of an icon in it.
struct IconChoice {
    std::string file;
    int index = 0;
    QIcon picture; // as the chooser showed it
};

// What the two dialogs need of the editor's lists.
struct BatchListLink {
    // Whether the batch list has a row for the current batch.
    std::function<bool()> hasCurrentRow;
    // The icon that row shows.
    std::function<QIcon()> currentRowIcon;
    // Renames the batch, its row following; returns the name as stored.
    // Throws when the name is refused or the batch is no longer there.
    std::function<std::string(const BatchRef& batch, const std::string& newName)> rename;
    // Gives the row its new icon; a null icon means the default one.
    std::function<void(const QIcon& icon)> setCurrentRowIcon;
    // The application rows of the item list: caption, icon, item number.
    struct Item {
        QString caption;
        QIcon icon;
        int index = 0;
    };
    std::function<std::vector<Item>()> applicationItems;
};

// TForm5, "Change icon": lists the icons of a file, of an item's icon
// source, or the default one; "Change" takes the selected one.
class TForm5 : public QDialog {
    Q_OBJECT

  public:
    TForm5(ProgramFiles& files, BatchListLink link, QWidget* parent = nullptr);

    std::function<QString()> chooseFile; // "" when cancelled

    // Shows the chooser on current; the icon "Change" took, or none.
    std::optional<IconChoice> Choose(const IconChoice& current);
    // The icon the chooser opens on, and the one "Change" took.
    void Preselect(const IconChoice& current) { choice_ = current; }
    const IconChoice& Choice() const { return choice_; }

    void FormShow();
    void FillList(const QString& path, int select);
    void IconsComboChange(int entry);
    void Button1Click();
    void Button2Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    ProgramFiles& files_;
    BatchListLink link_;
    IconChoice choice_;
    std::vector<int> itemIndexList_;
    QLineEdit* PathEdit = nullptr;
    QComboBox* IconsCombo = nullptr;
    QPushButton* Button1 = nullptr;
    QListWidget* ListView1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
};

// TBatchPropertiesForm: name, startup-menu visibility and icon of the
// current batch; writes only on "Save".
class TBatchPropertiesForm : public QDialog {
    Q_OBJECT

  public:
    TBatchPropertiesForm(ProgramFiles& files, BatchListLink link, TForm5& chooser,
                         QWidget* parent = nullptr);

    void FormShow();
    void Button1Click();
    void SetPreview(const QIcon& icon);
    // The batch's icon as this dialog holds it until "Save".
    const IconChoice& EditedIcon() const { return icon_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    ProgramFiles& files_;
    BatchListLink link_;
    TForm5& chooser_;
    BatchRef batch_; // the batch as the dialog was opened on it; none when there was none
    IconChoice icon_;
    QLineEdit* NameEdit = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* Button3 = nullptr;
    QCheckBox* ShowInStartupCheck = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

} // namespace korvane
