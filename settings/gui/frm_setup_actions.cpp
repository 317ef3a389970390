// What the system settings dialog does: reading and saving the system's settings, the
// folder buttons, the database's long text and the database check.

#include "frm_setup.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "choose_folder.h"
#include "database_check.h"
#include "dialog_parts.h"
#include "engine_run.h"

namespace settings {

namespace {

// How long the database's text file stays for the viewer, which may read it only once
// it has started.
constexpr int kMoreInfoLifeMs = 60'000;

// Removes `file` after a while, or when the program ends first.
void remove_later(const std::filesystem::path& file) {
    auto* keeper = new QObject(QCoreApplication::instance());
    QObject::connect(keeper, &QObject::destroyed, [file] {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    });
    QTimer::singleShot(kMoreInfoLifeMs, keeper, &QObject::deleteLater);
}

} // namespace

std::string frmSetup::system_id() const {
    const core::SystemEntry* system = m_context.system();
    return system != nullptr ? system->id : std::string();
}

void frmSetup::load() {
    const int tab = m_context.settings_tab != nullptr ? *m_context.settings_tab : 0;
    TabStrip->setCurrentIndex(first_system_tab(tab));
    show_database();
    show_settings(read_system_settings(system_id()));
    cmdApply->setEnabled(false);
}

void frmSetup::show_database() {
    m_header = read_database_info(system_id());
    lblDbVersion->setText(parts::qt(m_header.version));
    lblDbCreditTo->setText(parts::qt(m_header.credit));
    txtDbNotes->setPlainText(parts::qt(m_header.notes));
    cmdMoreInfo->setEnabled(!m_header.more_info.empty());
}

void frmSetup::show_settings(const SystemSettings& s) {
    txtDefaultFolder->setText(parts::qt(s.default_folder));
    txtRenameFolder->setText(parts::qt(s.rename_folder));
    txtUnrecognizedFolder->setText(parts::qt(s.unrecognized_folder));
    txtDupeFolder->setText(parts::qt(s.dupe_folder));
    chkDefaultFolder->setChecked(s.use_default_folder);
    chkMoveRenamed->setChecked(s.move_renamed);
    chkMoveUnrecognized->setChecked(s.move_unrecognized);
    radMoveDupes->setChecked(s.move_dupes);
    radIgnoreDupes->setChecked(s.ignore_dupes);
    radDeleteDupes->setChecked(s.delete_dupes);
    chkCopyInstead->setChecked(s.copy_instead);
}

SystemSettings frmSetup::shown_settings() const {
    SystemSettings s;
    s.default_folder = parts::std_text(txtDefaultFolder->text());
    s.rename_folder = parts::std_text(txtRenameFolder->text());
    s.unrecognized_folder = parts::std_text(txtUnrecognizedFolder->text());
    s.dupe_folder = parts::std_text(txtDupeFolder->text());
    s.use_default_folder = chkDefaultFolder->isChecked();
    s.move_renamed = chkMoveRenamed->isChecked();
    s.move_unrecognized = chkMoveUnrecognized->isChecked();
    s.move_dupes = radMoveDupes->isChecked();
    s.ignore_dupes = radIgnoreDupes->isChecked();
    s.delete_dupes = radDeleteDupes->isChecked();
    s.copy_instead = chkCopyInstead->isChecked();
    return s;
}

// A save that fails says why and leaves the dialog as it is, so nothing typed is lost.
bool frmSetup::save() {
    const core::Status saved = save_system_settings(system_id(), shown_settings());
    if (!saved)
        tell(save_failure_message(saved.error()));
    return saved.ok();
}

void frmSetup::on_ok() {
    if (save())
        accept();
}

void frmSetup::reject() {
    if (!updating())
        QDialog::reject();
}

// The chooser starts where the last choice of the program left it.
void frmSetup::choose_into(QLineEdit* box) {
    const QString folder = parts::choose(this, ui::chosen_folder);
    if (folder.isEmpty())
        return;
    box->setText(folder);
    cmdApply->setEnabled(true);
}

void frmSetup::on_more_info() {
    auto file = write_more_info(m_header.more_info, std::filesystem::temp_directory_path());
    if (!file) {
        tell(more_info_failure_message(file.error().message));
        return;
    }
    if (!m_context.show_text || !m_context.show_text(*file)) {
        std::error_code ignored;
        std::filesystem::remove(*file, ignored);
        tell(more_info_failure_message("No text viewer could be started."));
        return;
    }
    remove_later(*file);
}

bool frmSetup::updating() const {
    return m_run->running();
}

void frmSetup::on_update() {
    if (m_context.is_online && !m_context.is_online()) {
        tell(offline_message());
        return;
    }
    const core::SystemEntry* system = m_context.system();
    if (system == nullptr)
        return;
    if (m_context.answerer)
        m_run->prompter().set_answerer(m_context.answerer);
    set_updating(true);
    m_run->start([systems = std::vector<core::SystemEntry>{*system}](core::Progress& progress,
                                                                     core::Prompter& prompter) {
        const update::DatabaseChecker checker(
            update::ServerAddresses(update::update_root()),
            update::HttpClient(update::http_options_from_settings()));
        (void)checker.update_databases(systems, systems.front().id, prompter, progress);
    });
}

void frmSetup::on_update_finished() {
    set_updating(false);
    lblUpdateStatus->clear();
    if (!m_run->failure().isEmpty()) {
        update::DatabaseCheck broken;
        broken.id = system_id();
        broken.reason = parts::std_text(m_run->failure());
        tell(update::check_message(broken));
    }
    show_database();
}

// The dialog is held still while the check runs; its messages still show.
void frmSetup::set_updating(bool updating) {
    if (updating)
        m_apply_before_update = cmdApply->isEnabled();
    TabStrip->setEnabled(!updating);
    cmdOK->setEnabled(!updating);
    cmdCancel->setEnabled(!updating);
    cmdApply->setEnabled(!updating && m_apply_before_update);
}

void frmSetup::tell(const core::Message& message) {
    parts::tell(m_context, this, message);
}

} // namespace settings
