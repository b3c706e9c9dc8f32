#pragma once

#include "gui/current_batch.h"
#include "store/catalogue.h"

#include <QDialog>
#include <QIcon>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvane {

// The icon being edited, shared by the batch properties dialog and the icon
// chooser: a file ("" for the default icon) and the index of an icon in it.
std::string& CurrentIconFile();
int& CurrentIconIndex();

// What the two dialogs need of the editor's lists.
struct BatchListLink {
    // Whether the batch list has a row for the current batch.
    std::function<bool()> hasCurrentRow;
    // The icon that row shows.
    std::function<QIcon()> currentRowIcon;
    // Renames the current batch (throws when the name is refused).
    std::function<void(const std::string& newName)> renameCurrent;
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
// source, or the default one; "Change" sets CurrentIconFile/Index.
class TForm5 : public QDialog {
    Q_OBJECT

  public:
    TForm5(ProgramFiles& files, BatchListLink link, QWidget* parent = nullptr);

    std::function<QString()> chooseFile; // "" when cancelled
    std::function<void(const QIcon&)> setPreview;

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

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    ProgramFiles& files_;
    BatchListLink link_;
    TForm5& chooser_;
    QLineEdit* NameEdit = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* Button3 = nullptr;
    QCheckBox* ShowInStartupCheck = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

} // namespace korvane
