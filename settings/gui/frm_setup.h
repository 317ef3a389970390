#pragma once

#include <QDialog>

#include "job_context.h"
#include "system_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace ui {
class EngineRun;
}

namespace settings {

/// `frmSetup`: the settings of the selected system. The Database tab shows its database's
/// version, credit and notes and updates it from the server; the Folders tab edits where a
/// rename puts files and what it does with duplicates. Apply and OK write every key of the
/// system's section; Cancel writes nothing.
class frmSetup final : public QDialog {
    Q_OBJECT
public:
    explicit frmSetup(ui::JobContext& context, QWidget* parent = nullptr);
    ~frmSetup() override;

    /// True while the Update button's check runs; the dialog cannot be closed meanwhile.
    bool updating() const;

    QTabWidget* TabStrip;
    QWidget* Frame0; ///< "Database"
    QWidget* Frame1; ///< "Folders"
    QLabel* lblDbVersion;
    QLabel* lblDbCreditTo;
    QPlainTextEdit* txtDbNotes;
    QPushButton* cmdMoreInfo;
    QPushButton* cmdUpdate;
    QLabel* lblUpdateStatus; ///< what the running check is doing
    QCheckBox* chkDefaultFolder;
    QLineEdit* txtDefaultFolder;
    QPushButton* cmdDefaultFolder;
    QCheckBox* chkMoveRenamed;
    QLineEdit* txtRenameFolder;
    QPushButton* cmdSelectRenameFolder;
    QCheckBox* chkMoveUnrecognized;
    QLineEdit* txtUnrecognizedFolder;
    QPushButton* cmdUnrecognizedFolder;
    QRadioButton* radMoveDupes;
    QLineEdit* txtDupeFolder;
    QPushButton* cmdSelectDupeFolder;
    QRadioButton* radIgnoreDupes;
    QRadioButton* radDeleteDupes;
    QCheckBox* chkCopyInstead;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdApply;

public slots:
    void reject() override;

private:
    QWidget* build_database_page();
    QWidget* build_folders_page();
    QWidget* folder_row(QCheckBox* check, QRadioButton* option, QLineEdit* box,
                        QPushButton* button);
    void connect_controls();
    void load();
    void show_database();
    void show_settings(const SystemSettings& settings);
    SystemSettings shown_settings() const;
    bool save();
    void on_ok();
    void choose_into(QLineEdit* box);
    void on_more_info();
    void on_update();
    void on_update_finished();
    void set_updating(bool updating);
    void tell(const core::Message& message);
    std::string system_id() const;

    ui::JobContext& m_context;
    core::ZdbHeader m_header;
    ui::EngineRun* m_run = nullptr;
    bool m_apply_before_update = false;
};

} // namespace settings
