#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "collection_scan.h"
#include "engine_run.h"
#include "filters.h"
#include "job_context.h"
#include "result_model.h"
#include "unrecognized_transfer.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeView;

namespace ui {
class ProgressPicture;
} // namespace ui

namespace lists {

/// `frmROMCollectionTree`: the wizard that scans a collection and shows what it has and lacks.
///
/// Page `Frame0` collects the folder, the match option and an earlier session; "Next >>"
/// runs the scan on a worker (Stop ends it) and page `Frame1` shows the result tree, with
/// the filters of "filter.ini" in its popup menu, a search box and the outputs: the lists,
/// the session, moving or copying the unrecognized files. The controls are public so that
/// tests can drive them as a user would.
class frmROMCollectionTree final : public QDialog {
    Q_OBJECT
public:
    explicit frmROMCollectionTree(ui::JobContext& context, QWidget* parent = nullptr);
    ~frmROMCollectionTree() override;

    /// True while a scan or a transfer runs.
    bool busy() const;
    ResultModel* model() const { return m_model; }
    const std::vector<Filter>& filters() const { return m_filters; }

    QWidget* Frame0;
    QWidget* Frame1;
    QLineEdit* txtBaseFolder;
    QPushButton* cmdBaseFolder;
    QRadioButton* radMatchChecksum;
    QRadioButton* radMatchFilename;
    QLineEdit* txtPreviousSession;
    QPushButton* cmdLoadSession;
    ui::ProgressPicture* picProgress;
    QLabel* lblProgress;
    QPushButton* cmdSaveSession;
    QPushButton* cmdSaveList;
    std::array<QPushButton*, 2> cmdCopyROMs; ///< [0] copy, [1] move
    QTreeView* ROMTree;
    QLineEdit* txtSearch;
    QLabel* lblCounts;
    QPlainTextEdit* txtProblems; ///< files the scan could not read or left alone
    QPushButton* cmdNext;
    QPushButton* cmdBack;
    QPushButton* cmdStop;
    QPushButton* cmdClose;
    QMenu* mnuPopup;
    QAction* mnuPopupShowAll;
    std::array<QAction*, kMaxFilters> mnuFilter;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building the pages (frm_rom_collection_tree.cpp).
    QWidget* make_setup_page();
    QWidget* make_results_page();
    QWidget* make_tree_box();
    void make_popup();
    void open_steps();

    // The scan (collection_scan_window.cpp).
    void choose_base_folder();
    void start_scan();
    void scan_finished();
    void show_results();
    void go_back();
    void set_running(bool running);
    void show_progress();
    void enable_save_session();
    void run(ui::EngineRun::Work work, std::function<void()> after);
    void update_counts();
    core::Answer ask(const core::Message& message);

    // The outputs and the filters (collection_outputs.cpp).
    void load_filters();
    void filter_clicked(std::size_t index);
    void show_all_clicked();
    void save_lists();
    void save_session();
    void load_session();
    void copy_roms(Transfer transfer);
    void transfer_finished();
    QString list_folder(const QString& fallback) const;

    ui::JobContext& m_context;
    core::SystemEntry m_system;
    ui::EngineRun* m_run;
    ResultModel* m_model;
    QTimer* m_search_timer;
    std::function<void()> m_after; ///< what the window does when the run ends
    std::vector<Filter> m_filters;
    std::optional<ScanResult> m_result;
    // What the worker hands back; read in the finished handlers.
    std::optional<core::Result<ScanResult>> m_scanned;
    TreeOrder m_order;
    TransferReport m_transfer;
};

} // namespace lists
