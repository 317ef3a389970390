// The collection window's scan: from "Next >>" to the results page, on a worker thread.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include "choose_folder.h"
#include "frm_rom_collection_tree.h"
#include "progress_window.h"
#include "settings.h"

namespace lists {
namespace {

QString counts_part(const char* label, std::size_t shown, std::size_t total, bool searching) {
    QString text = QString::fromUtf8(label) + u' ' + QString::fromStdString(with_thousands(shown));
    if (searching)
        text += QStringLiteral(" of ") + QString::fromStdString(with_thousands(total));
    return text;
}

} // namespace

bool frmROMCollectionTree::busy() const {
    return m_run != nullptr && m_run->running();
}

core::Answer frmROMCollectionTree::ask(const core::Message& message) {
    return m_run->prompter().ask(message);
}

void frmROMCollectionTree::choose_base_folder() {
    auto start = core::read_setting(m_system.id, "RenameFolder", m_context.current_folder).text();
    if (core::unusable_folder_reason(start)) // never a folder under the working folder
        start = m_context.current_folder;
    if (auto folder = ui::choose_folder(this, QString::fromStdString(start)))
        txtBaseFolder->setText(*folder);
}

// One engine call on the worker; `after` runs on this thread once it has returned.
void frmROMCollectionTree::run(ui::EngineRun::Work work, std::function<void()> after) {
    m_after = std::move(after);
    set_running(true);
    m_run->progress().reset();
    m_run->start(std::move(work));
}

void frmROMCollectionTree::start_scan() {
    if (busy() || m_context.services == nullptr)
        return;
    const MatchBy by = radMatchFilename->isChecked() ? MatchBy::Filename : MatchBy::Checksum;
    (void)write_match_setting(by); // a setting that cannot be kept does not stop the scan
    m_model->set_tree(nullptr, {});
    m_result.reset();
    cmdNext->setEnabled(false);
    picProgress->set_progress(0, 0);
    ScanJob job{m_system, txtBaseFolder->text().toStdString(),
                by,       txtPreviousSession->text().toStdString(),
                0,        nullptr};
    core::Services* services = m_context.services;
    run(
        [this, job = std::move(job), services](core::Progress& progress, core::Prompter& prompter) {
            auto scanned = scan_collection(job, *services, prompter, progress);
            if (scanned && !scanned->stopped())
                m_order = order_of(scanned->tree); // the sorting is the worker's too
            m_scanned = std::move(scanned);
        },
        [this] { scan_finished(); });
}

void frmROMCollectionTree::scan_finished() {
    auto scanned = std::move(m_scanned);
    m_scanned.reset();
    lblProgress->setText(QStringLiteral("Waiting..."));
    picProgress->set_progress(0, 0);
    if (!m_run->failure().isEmpty() || !scanned || !*scanned) {
        const std::string why = !m_run->failure().isEmpty() ? m_run->failure().toStdString()
                                : scanned && !*scanned      ? (*scanned).error().message
                                                            : std::string();
        cmdNext->setEnabled(true);
        ask({why, "Zelkon", core::Message::Icon::Exclamation, core::Message::Buttons::Ok});
        return;
    }
    if ((*scanned)->stopped()) {
        cmdNext->setEnabled(true); // nothing to show of a scan cut short
        return;
    }
    m_result.emplace(std::move(**scanned));
    m_model->set_tree(&m_result->tree, std::move(m_order));
    show_results();
}

void frmROMCollectionTree::show_results() {
    QStringList problems;
    for (const auto& problem : m_result->outcome.problems)
        problems << QString::fromStdString(problem.text());
    txtProblems->setPlainText(problems.join(u'\n'));
    txtProblems->setVisible(!problems.isEmpty());
    Frame0->hide();
    Frame1->show();
    cmdBack->setEnabled(true);
    cmdNext->setEnabled(false);
    enable_save_session();
    if (!txtSearch->text().isEmpty())
        ROMTree->expandAll();
}

void frmROMCollectionTree::go_back() {
    cmdNext->setEnabled(true);
    cmdBack->setEnabled(false);
    Frame0->show();
    Frame1->hide();
}

// While a run is under way only Stop can be clicked; closing is refused (reject()).
void frmROMCollectionTree::set_running(bool running) {
    QWidget* const inputs[] = {cmdBaseFolder, radMatchChecksum, cmdLoadSession,
                               cmdSaveList,   cmdCopyROMs[0],   cmdCopyROMs[1],
                               cmdClose,      ROMTree,          txtSearch};
    for (QWidget* input : inputs)
        input->setEnabled(!running);
    radMatchFilename->setEnabled(!running && txtPreviousSession->text().isEmpty());
    enable_save_session();
    if (running)
        cmdBack->setEnabled(false);
    cmdStop->setVisible(running);
    if (running)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// A session holds checksums: only a scan by checksum has one to save.
void frmROMCollectionTree::enable_save_session() {
    cmdSaveSession->setEnabled(!busy() && m_result && m_result->by == MatchBy::Checksum);
}

void frmROMCollectionTree::show_progress() {
    auto& progress = m_run->progress();
    lblProgress->setText(progress.status_text());
    picProgress->set_progress(progress.done(), progress.total());
}

void frmROMCollectionTree::update_counts() {
    const bool searching = !m_model->search().isEmpty();
    const auto part = [&](const char* label, ResultTree::Root root) {
        return counts_part(label, m_model->shown_count(root), m_model->total_count(root),
                           searching);
    };
    lblCounts->setText(part("Matched", ResultTree::kMatched) + QStringLiteral(" · ") +
                       part("Missing", ResultTree::kMissing) + QStringLiteral(" · ") +
                       part("Unrecognized", ResultTree::kUnrecognized));
}

} // namespace lists
