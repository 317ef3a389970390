#include "frm_general_settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app_home.h"
#include "dialog_parts.h"
#include "images.h"
#include "system_settings.h"

namespace settings {

namespace {

QLabel* caption(const char* text, QWidget* parent) {
    return new QLabel(QString::fromUtf8(text), parent);
}

QWidget* page(const char* name, QWidget* parent) {
    auto* made = new QWidget(parent);
    made->setObjectName(QString::fromUtf8(name));
    return made;
}

} // namespace

frmGeneralSettings::frmGeneralSettings(ui::JobContext& context, QWidget* parent)
    : QDialog(parent), TabStrip(new QTabWidget(this)), cmdOK(parts::button("cmdOK", "OK", this)),
      cmdCancel(parts::button("cmdCancel", "Cancel", this)),
      cmdApply(parts::button("cmdApply", "Apply", this)), m_context(context) {
    setObjectName(QStringLiteral("frmGeneralSettings"));
    setWindowTitle(QStringLiteral("General Settings"));
    TabStrip->setObjectName(QStringLiteral("TabStrip"));
    Frame0 = build_folders_page();
    Frame1 = build_renaming_page();
    Frame2 = build_internet_page();
    const QIcon globe = QIcon::fromTheme(QStringLiteral("applications-internet"),
                                         style()->standardIcon(QStyle::SP_DriveNetIcon));
    TabStrip->addTab(Frame0, QIcon(QString::fromUtf8(images::kToolbarFolder)),
                     QStringLiteral("Folders"));
    TabStrip->addTab(Frame1, QIcon(QString::fromUtf8(images::kToolbarGo)),
                     QStringLiteral("Renaming"));
    TabStrip->addTab(Frame2, globe, QStringLiteral("Internet"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabStrip, 1);
    layout->addLayout(parts::button_row(cmdOK, cmdCancel, cmdApply));
    resize(sizeHint().expandedTo(QSize(420, 260)));

    connect_controls();
    load();
}

QWidget* frmGeneralSettings::build_folders_page() {
    QWidget* made = page("Frame(0)", TabStrip);
    txtStartupFolder = parts::folder_box("txtStartupFolder", made);
    cmdStartupFolder = parts::browse_button("cmdStartupFolder", made);
    txtROMListFolder = parts::folder_box("txtROMListFolder", made);
    cmdROMListFolder = parts::browse_button("cmdROMListFolder", made);
    auto* grid = new QGridLayout(made);
    grid->addWidget(caption("Startup Folder:", made), 0, 0, 1, 2);
    grid->addWidget(txtStartupFolder, 1, 0);
    grid->addWidget(cmdStartupFolder, 1, 1);
    grid->addWidget(caption("ROM List Folder:", made), 2, 0, 1, 2);
    grid->addWidget(txtROMListFolder, 3, 0);
    grid->addWidget(cmdROMListFolder, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(4, 1);
    return made;
}

QWidget* frmGeneralSettings::build_renaming_page() {
    QWidget* made = page("Frame(1)", TabStrip);
    chkRenameROMsInZip = parts::check("chkRenameROMsInZip", "Rename ROMs inside ZIPs", made);
    lblWarning =
        caption("This will slow Zelkon down, and only works if the ZIP contains 1 file.", made);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    lblWarning->setVisible(false);
    chkRecursive = parts::check("chkRecursive", "Rename ROMs in Sub-Folders", made);
    chkUseUnderScores = parts::check("chkUseUnderScores", "Convert Spaces to Underscores", made);
    auto* column = new QVBoxLayout(made);
    column->addWidget(chkRenameROMsInZip);
    column->addWidget(lblWarning);
    column->addWidget(chkRecursive);
    column->addWidget(chkUseUnderScores);
    column->addStretch();
    return made;
}

QWidget* frmGeneralSettings::build_internet_page() {
    QWidget* made = page("Frame(2)", TabStrip);
    chkCheckForNews = parts::check("chkCheckForNews", "Check for news on startup", made);
    txtProxyServer = parts::text_box("txtProxyServer", made);
    txtProxyPort = parts::text_box("txtProxyPort", made);
    txtProxyPort->installEventFilter(this);
    auto* form = new QFormLayout;
    form->addRow(caption("Proxy Server:", made), txtProxyServer);
    form->addRow(caption("Proxy Port:", made), txtProxyPort);
    auto* column = new QVBoxLayout(made);
    column->addWidget(chkCheckForNews);
    column->addLayout(form);
    column->addStretch();
    return made;
}

void frmGeneralSettings::connect_controls() {
    for (QCheckBox* box : {chkRenameROMsInZip, chkRecursive, chkUseUnderScores, chkCheckForNews})
        connect(box, &QCheckBox::clicked, cmdApply, [this] { cmdApply->setEnabled(true); });
    connect(chkRenameROMsInZip, &QCheckBox::toggled, lblWarning, &QLabel::setVisible);
    for (QLineEdit* box : {txtProxyServer, txtProxyPort})
        connect(box, &QLineEdit::textEdited, cmdApply, [this] { cmdApply->setEnabled(true); });
    connect(cmdStartupFolder, &QPushButton::clicked, this,
            [this] { choose_into(txtStartupFolder); });
    connect(cmdROMListFolder, &QPushButton::clicked, this,
            [this] { choose_into(txtROMListFolder); });
    connect(cmdApply, &QPushButton::clicked, this, [this] {
        if (!save())
            return;
        cmdApply->setEnabled(false);
        cmdOK->setFocus();
    });
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        if (save())
            accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

// An emptied port becomes "80" once the box loses the focus.
bool frmGeneralSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtProxyPort && event->type() == QEvent::FocusOut)
        txtProxyPort->setText(parts::qt(port_after_edit(parts::std_text(txtProxyPort->text()))));
    return QDialog::eventFilter(watched, event);
}

void frmGeneralSettings::load() {
    show_settings(read_general_settings(core::app_home().string()));
    cmdApply->setEnabled(false);
    const int tab = m_context.settings_tab != nullptr ? *m_context.settings_tab : 1;
    TabStrip->setCurrentIndex(first_general_tab(tab));
}

void frmGeneralSettings::show_settings(const GeneralSettings& s) {
    txtProxyServer->setText(parts::qt(s.proxy_server));
    txtProxyPort->setText(parts::qt(s.proxy_port));
    txtStartupFolder->setText(parts::qt(s.startup_folder));
    txtROMListFolder->setText(parts::qt(s.rom_list_folder));
    chkUseUnderScores->setChecked(s.spaces_to_underscores);
    chkRecursive->setChecked(s.recursive);
    chkRenameROMsInZip->setChecked(s.rename_in_zip);
    chkCheckForNews->setChecked(s.check_for_news);
}

GeneralSettings frmGeneralSettings::shown_settings() const {
    GeneralSettings s;
    s.proxy_server = parts::std_text(txtProxyServer->text());
    s.proxy_port = parts::std_text(txtProxyPort->text());
    s.startup_folder = parts::std_text(txtStartupFolder->text());
    s.rom_list_folder = parts::std_text(txtROMListFolder->text());
    s.spaces_to_underscores = chkUseUnderScores->isChecked();
    s.recursive = chkRecursive->isChecked();
    s.rename_in_zip = chkRenameROMsInZip->isChecked();
    s.check_for_news = chkCheckForNews->isChecked();
    return s;
}

bool frmGeneralSettings::save() {
    const core::Status saved = save_general_settings(shown_settings());
    if (!saved)
        parts::tell(m_context, this, save_failure_message(saved.error()));
    return saved.ok();
}

// The chooser starts at the box's folder; a cancelled choice changes nothing.
void frmGeneralSettings::choose_into(QLineEdit* box) {
    const QString folder = parts::choose(this, box->text());
    if (folder.isEmpty())
        return;
    box->setText(folder);
    cmdApply->setEnabled(true);
}

} // namespace settings
