// The collection window's outputs (lists, sessions, moving and copying the unrecognized
// files) and its filters.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include "choose_folder.h"
#include "frm_rom_collection_tree.h"
#include "journaled_executor.h"
#include "list_files.h"
#include "open_save.h"
#include "services.h"
#include "session_file.h"
#include "settings.h"
#include "tree_marks.h"
#include "undo_journal.h"

namespace lists {
namespace {

constexpr const char* kSessionFilter = "ROM Collection Lists (*.rcl)|*.rcl|All Files|*.*";
constexpr std::int32_t kHideReadOnly = 4;

core::Message failure(const std::string& text) {
    return {text, "Zelkon", core::Message::Icon::Exclamation, core::Message::Buttons::Ok};
}

} // namespace

void frmROMCollectionTree::load_filters() {
    if (m_context.services == nullptr)
        return;
    auto loaded = load_filter(m_context.services->home() / "filter.ini");
    if (!loaded)
        return; // an unreadable file is as good as none: the menu offers "Show All" alone
    m_filters = std::move(loaded.value());
    for (std::size_t i = 0; i < m_filters.size() && i < mnuFilter.size(); ++i) {
        QString caption = QString::fromStdString(m_filters[i].caption);
        mnuFilter[i]->setText(caption.replace(u'&', QStringLiteral("&&")));
        mnuFilter[i]->setVisible(true);
        mnuFilter[i]->setChecked(true);
    }
}

void frmROMCollectionTree::filter_clicked(std::size_t index) {
    m_filters[index].shown = mnuFilter[index]->isChecked();
    if (!m_result)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    mark_tree(m_result->tree, m_filters);
    m_model->images_changed();
    QApplication::restoreOverrideCursor();
}

void frmROMCollectionTree::show_all_clicked() {
    for (auto* action : mnuFilter)
        action->setChecked(true);
    if (m_result)
        show_all_entries(m_result->tree, m_filters);
    else
        show_all(m_filters);
    m_model->images_changed();
}

// The start folder of the chooser and the file dialogs: "general"/"ROMListFolder".
QString frmROMCollectionTree::list_folder(const QString& fallback) const {
    const auto folder =
        core::read_setting("general", "ROMListFolder", fallback.toStdString()).text();
    // A relative or non-text value would open the dialog under the working folder.
    return core::unusable_folder_reason(folder) ? fallback : QString::fromStdString(folder);
}

void frmROMCollectionTree::save_lists() {
    if (!m_result || busy())
        return;
    auto folder = ui::choose_folder(this, list_folder(QString()));
    if (!folder)
        return;
    ListSource source{m_result->tree, m_result->matched + m_result->missing, m_result->long_name,
                      m_filters};
    // Saying nothing about a list that could not be written would leave the user believing
    // it was.
    if (auto saved = lists::save_lists(folder->toStdString(), m_result->system_id, source); !saved)
        ask(failure(saved.error().message));
}

void frmROMCollectionTree::save_session() {
    if (!m_result || busy() || m_result->by != MatchBy::Checksum)
        return;
    ui::clsOpenSave dialog;
    dialog.setFilter(QString::fromUtf8(kSessionFilter));
    dialog.InitDir = list_folder(txtBaseFolder->text());
    dialog.hWnd = this;
    dialog.Flags = kHideReadOnly;
    if (!dialog.ShowSave() || dialog.FileName.isEmpty())
        return;
    if (auto saved = write_session(dialog.FileName.toStdString(), m_result->records); !saved)
        ask(failure(saved.error().message));
}

void frmROMCollectionTree::load_session() {
    ui::clsOpenSave dialog;
    dialog.setFilter(QString::fromUtf8(kSessionFilter));
    dialog.InitDir = list_folder(txtBaseFolder->text());
    dialog.hWnd = this;
    dialog.Flags = kHideReadOnly;
    txtPreviousSession->setText(dialog.ShowOpen() ? dialog.FileName : QString());
    // A session holds checksums and no names: it can only be matched by checksum.
    if (!txtPreviousSession->text().isEmpty()) {
        radMatchChecksum->setChecked(true);
        radMatchFilename->setEnabled(false);
    } else {
        radMatchFilename->setEnabled(true);
    }
}

void frmROMCollectionTree::copy_roms(Transfer transfer) {
    if (!m_result || busy() || m_context.services == nullptr)
        return;
    if (nothing_to_transfer(m_result->unrecognized, m_run->prompter()))
        return;
    auto folder = ui::choose_folder(this, ui::chosen_folder);
    if (!folder)
        return;
    // The worker changes the tree's texts: the view lets go of the tree meanwhile.
    m_model->set_tree(nullptr, {});
    const std::string verb = transfer == Transfer::Move ? "move" : "copy";
    const std::string description =
        "scan " + verb + "-unrecognized " + m_system.id + " '" + folder->toStdString() + "'";
    run(
        [this, transfer, target = folder->toStdString(), description,
         services = m_context.services](core::Progress& progress, core::Prompter& prompter) {
            core::JournaledExecutor executor(description, prompter, progress, services->zelcore());
            m_transfer = transfer_unrecognized(m_result->tree, transfer, target, prompter, progress,
                                               executor);
            m_order = order_of(m_result->tree);
        },
        [this] { transfer_finished(); });
}

void frmROMCollectionTree::transfer_finished() {
    m_model->set_tree(&m_result->tree, std::move(m_order));
    cmdBack->setEnabled(true);
    QStringList problems;
    for (const auto& problem : m_transfer.outcome.problems)
        problems << QString::fromStdString(problem.text());
    if (!problems.isEmpty()) {
        txtProblems->appendPlainText(problems.join(u'\n'));
        txtProblems->show();
    }
    if (!txtSearch->text().isEmpty())
        ROMTree->expandAll();
    if (m_context.refresh_views)
        m_context.refresh_views();
}

} // namespace lists
