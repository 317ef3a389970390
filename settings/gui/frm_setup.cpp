// The system settings dialog's controls and layout; its behaviour is in
// frm_setup_actions.cpp.

#include "frm_setup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialog_parts.h"
#include "engine_run.h"

namespace settings {

namespace {

QLabel* label(const char* name, const char* caption, QWidget* parent) {
    auto* made = new QLabel(QString::fromUtf8(caption), parent);
    made->setObjectName(QString::fromUtf8(name));
    return made;
}

// A shown database field: selectable, so a credit or version can be copied.
QLabel* field(const char* name, QWidget* parent) {
    QLabel* made = label(name, "", parent);
    made->setTextInteractionFlags(Qt::TextSelectableByMouse);
    made->setWordWrap(true);
    return made;
}

} // namespace

frmSetup::frmSetup(ui::JobContext& context, QWidget* parent)
    : QDialog(parent), TabStrip(new QTabWidget(this)), cmdOK(parts::button("cmdOK", "OK", this)),
      cmdCancel(parts::button("cmdCancel", "Cancel", this)),
      cmdApply(parts::button("cmdApply", "Apply", this)), m_context(context),
      m_run(new ui::EngineRun(this)) {
    setObjectName(QStringLiteral("frmSetup"));
    const core::SystemEntry* system = m_context.system();
    setWindowTitle(QStringLiteral("Setup ") + parts::qt(system ? system->long_name : ""));
    TabStrip->setObjectName(QStringLiteral("TabStrip"));
    Frame0 = build_database_page();
    Frame1 = build_folders_page();
    TabStrip->addTab(Frame0, QStringLiteral("Database"));
    TabStrip->addTab(Frame1, QStringLiteral("Folders"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabStrip, 1);
    layout->addLayout(parts::button_row(cmdOK, cmdCancel, cmdApply));
    // 5430 by 4350 twips, grown where the desktop's font needs more.
    resize(sizeHint().expandedTo(QSize(362, 290)));

    connect_controls();
    load();
}

frmSetup::~frmSetup() = default;

QWidget* frmSetup::build_database_page() {
    auto* page = new QWidget(TabStrip);
    page->setObjectName(QStringLiteral("Frame(0)"));
    lblDbVersion = field("lblDbVersion", page);
    lblDbCreditTo = field("lblDbCreditTo", page);
    txtDbNotes = new QPlainTextEdit(page);
    txtDbNotes->setObjectName(QStringLiteral("txtDbNotes"));
    txtDbNotes->setReadOnly(true);
    cmdMoreInfo = parts::button("cmdMoreInfo", "More Info - Readme!", page);
    cmdUpdate = parts::button("cmdUpdate", "Update", page);
    lblUpdateStatus = field("lblUpdateStatus", page);

    auto* grid = new QGridLayout(page);
    grid->addWidget(label("Label1", "Version:", page), 0, 0);
    grid->addWidget(lblDbVersion, 0, 1);
    grid->addWidget(label("Label2", "Credit to:", page), 1, 0);
    grid->addWidget(lblDbCreditTo, 1, 1);
    grid->addWidget(label("Label3", "Notes:", page), 2, 0, Qt::AlignTop);
    grid->addWidget(txtDbNotes, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblUpdateStatus, 1);
    buttons->addWidget(cmdMoreInfo);
    buttons->addWidget(cmdUpdate);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    return page;
}

QWidget* frmSetup::build_folders_page() {
    auto* page = new QWidget(TabStrip);
    page->setObjectName(QStringLiteral("Frame(1)"));
    chkDefaultFolder = parts::check("chkDefaultFolder", "Default ROM Folder:", page);
    txtDefaultFolder = parts::folder_box("txtDefaultFolder", page);
    cmdDefaultFolder = parts::browse_button("cmdDefaultFolder", page);
    chkMoveRenamed = parts::check("chkMoveRenamed", "Move Renamed Files To:", page);
    txtRenameFolder = parts::folder_box("txtRenameFolder", page);
    cmdSelectRenameFolder = parts::browse_button("cmdSelectRenameFolder", page);
    chkMoveUnrecognized = parts::check("chkMoveUnrecognized", "Move Unrecognized Files To:", page);
    txtUnrecognizedFolder = parts::folder_box("txtUnrecognizedFolder", page);
    cmdUnrecognizedFolder = parts::browse_button("cmdUnrecognizedFolder", page);
    radMoveDupes = parts::option("radMoveDupes", "Move Dupes to:", page);
    txtDupeFolder = parts::folder_box("txtDupeFolder", page);
    cmdSelectDupeFolder = parts::browse_button("cmdSelectDupeFolder", page);
    radIgnoreDupes = parts::option("radIgnoreDupes", "Ignore Dupes", page);
    radDeleteDupes = parts::option("radDeleteDupes", "Delete Dupes", page);
    chkCopyInstead = parts::check("chkCopyInstead", "Copy Files Instead of Moving", page);
    // The three options are one group, kept by the dialog: stored keys may select none.
    for (QRadioButton* dupe : {radMoveDupes, radIgnoreDupes, radDeleteDupes})
        dupe->setAutoExclusive(false);

    auto* grid = new QGridLayout(page);
    auto row = [&](int at, QAbstractButton* toggle, QLineEdit* box, QPushButton* browse) {
        grid->addWidget(toggle, at, 0);
        grid->addWidget(box, at, 1);
        grid->addWidget(browse, at, 2);
    };
    row(0, chkDefaultFolder, txtDefaultFolder, cmdDefaultFolder);
    row(1, chkMoveRenamed, txtRenameFolder, cmdSelectRenameFolder);
    row(2, chkMoveUnrecognized, txtUnrecognizedFolder, cmdUnrecognizedFolder);
    row(3, radMoveDupes, txtDupeFolder, cmdSelectDupeFolder);
    grid->addWidget(radIgnoreDupes, 4, 0, 1, 3);
    grid->addWidget(radDeleteDupes, 5, 0, 1, 3);
    grid->addWidget(chkCopyInstead, 6, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(7, 1);
    return page;
}

void frmSetup::connect_controls() {
    for (QCheckBox* box : {chkDefaultFolder, chkMoveRenamed, chkMoveUnrecognized, chkCopyInstead})
        connect(box, &QCheckBox::clicked, cmdApply, [this] { cmdApply->setEnabled(true); });
    const std::pair<QRadioButton*, DupeOption> dupes[] = {{radMoveDupes, DupeOption::Move},
                                                          {radIgnoreDupes, DupeOption::Ignore},
                                                          {radDeleteDupes, DupeOption::Delete}};
    for (const auto& [dupe, option] : dupes)
        connect(dupe, &QRadioButton::clicked, this, [this, option = option] {
            SystemSettings shown = shown_settings();
            select_dupe_option(shown, option);
            show_settings(shown);
            cmdApply->setEnabled(true);
        });
    const std::pair<QPushButton*, QLineEdit*> folders[] = {
        {cmdDefaultFolder, txtDefaultFolder},
        {cmdSelectRenameFolder, txtRenameFolder},
        {cmdUnrecognizedFolder, txtUnrecognizedFolder},
        {cmdSelectDupeFolder, txtDupeFolder}};
    for (const auto& [browse, box] : folders)
        connect(browse, &QPushButton::clicked, this, [this, box = box] { choose_into(box); });
    connect(cmdApply, &QPushButton::clicked, this, [this] {
        if (save())
            cmdApply->setEnabled(false);
    });
    connect(cmdOK, &QPushButton::clicked, this, &frmSetup::on_ok);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetup::reject);
    connect(cmdMoreInfo, &QPushButton::clicked, this, &frmSetup::on_more_info);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmSetup::on_update);
    connect(m_run, &ui::EngineRun::finished, this, &frmSetup::on_update_finished);
    connect(&m_run->progress(), &ui::QtProgress::updated, lblUpdateStatus,
            [this] { lblUpdateStatus->setText(m_run->progress().status_text()); });
}

} // namespace settings
