#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QPushButton;

namespace ui {

class FolderTree;

/// The folder chooser's exchange: the caller puts the start folder here before showing
/// frmChooseFolder; the window empties it once it has read it and, when the user confirms,
/// puts the chosen folder here with a trailing "/". Empty afterwards means cancelled.
/// UI thread only.
extern QString chosen_folder;

/// "Choose Folder...": a folder tree with OK, Cancel and "New...". Show it modally (exec);
/// it reads and writes `chosen_folder` as described there. A start folder that does not
/// exist gives the application home (the user's home folder when that is missing too).
class frmChooseFolder final : public QDialog {
    Q_OBJECT
public:
    explicit frmChooseFolder(QWidget* parent = nullptr);

    FolderTree* exTree1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdNewFolder;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void load();
    void on_ok();
    void on_new_folder();

    bool m_loaded = false;
};

/// Shows the chooser modally over `parent`, starting at `start`. The chosen folder (with a
/// trailing "/"), or nothing when the user cancelled. Leaves the answer in `chosen_folder`.
std::optional<QString> choose_folder(QWidget* parent, const QString& start);

} // namespace ui
