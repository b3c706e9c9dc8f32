#pragma once

#include "shell/link_sheet.h"
#include "store/item_wait.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

// The property sheet of an item's link file, as the desktop shell shows one
// for a shortcut: what it starts, with which arguments, in which folder, its
// comment and icon. Modeless; "OK" and "Apply" write, "Cancel" writes nothing.
// A file that cannot be read as a link is shown read-only.
class TLinkPropertiesForm : public QDialog {
    Q_OBJECT

  public:
    explicit TLinkPropertiesForm(std::filesystem::path file, QWidget* parent = nullptr);

    // Replaceable for tests: the file and folder choosers, the icon chooser
    // (true when an icon was chosen into file and index), opening a folder.
    std::function<QString()> chooseTarget;
    std::function<QString()> chooseFolder;
    std::function<bool(std::string& file, int& index)> chooseIcon;
    std::function<void(const std::filesystem::path& folder)> openFolder;

    // Shows the section "Before the next item" with the item's wait;
    // applying then hands save the wait shown. windowLimitation: why this
    // session cannot see windows appear, "" when it can.
    void ShowWait(const ItemWait& wait, const std::string& windowLimitation,
                  std::function<void(const ItemWait&)> save);

    // Writes the sheet; false (with the reason reported) when it was refused.
    bool Apply();

  signals:
    void applied(); // the file has been written

  private:
    shell::LinkSheet Collected() const;
    void ShowWhatTheLinkHolds();
    void ConnectButtons(QPushButton* browseTarget, QPushButton* browseFolder,
                        QPushButton* changeIcon, QPushButton* openLocation, QPushButton* cancel);
    void ShowIcon();
    void UpdateWarning();

    std::filesystem::path file_;
    std::optional<shell::LinkSheet> sheet_;
    QLineEdit* NameEdit = nullptr;
    QLineEdit* TargetEdit = nullptr;
    QLineEdit* ArgumentsEdit = nullptr;
    QLineEdit* StartInEdit = nullptr;
    QLineEdit* CommentEdit = nullptr;
    QLabel* IconImage = nullptr;
    QLabel* WarningLabel = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* ApplyButton = nullptr;
    class TWaitSection* WaitSection = nullptr;
    std::function<void(const ItemWait&)> saveWait_;
    std::string iconFile_;
    int iconIndex_ = 0;
};

} // namespace korvane
