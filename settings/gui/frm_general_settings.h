#pragma once

#include <QDialog>

#include "general_settings.h"
#include "job_context.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace settings {

/// `frmGeneralSettings`: the settings of the whole program: the start-up and list folders,
/// the renaming options, the news check and the proxy. Apply and OK write every key of
/// section "general"; Cancel writes nothing more.
class frmGeneralSettings final : public QDialog {
    Q_OBJECT
public:
    explicit frmGeneralSettings(ui::JobContext& context, QWidget* parent = nullptr);

    QTabWidget* TabStrip;
    QWidget* Frame0; ///< "Folders"
    QWidget* Frame1; ///< "Renaming"
    QWidget* Frame2; ///< "Internet"
    QLineEdit* txtStartupFolder;
    QPushButton* cmdStartupFolder;
    QLineEdit* txtROMListFolder;
    QPushButton* cmdROMListFolder;
    QCheckBox* chkRenameROMsInZip;
    QLabel* lblWarning;
    QCheckBox* chkRecursive;
    QCheckBox* chkUseUnderScores;
    QCheckBox* chkCheckForNews;
    QLineEdit* txtProxyServer;
    QLineEdit* txtProxyPort;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdApply;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* build_folders_page();
    QWidget* build_renaming_page();
    QWidget* build_internet_page();
    void connect_controls();
    void load();
    void show_settings(const GeneralSettings& settings);
    GeneralSettings shown_settings() const;
    bool save();
    void choose_into(QLineEdit* box);

    ui::JobContext& m_context;
};

} // namespace settings
