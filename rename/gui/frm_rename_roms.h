#pragma once

#include <QDialog>
#include <memory>

#include "job_context.h"
#include "rename_engine.h"

class QGroupBox;
class QPushButton;
class QTabWidget;
class QTableView;
class QToolButton;

namespace ui {
class EngineRun;
class ProgressPicture;
} // namespace ui

namespace renaming {

class LogBox;
class PlanModel;
class ProblemsModel;

/// `frmRenameROMs`: the window that renames the ROM files of the current folder.
///
/// "Start Renaming" plans and carries out one run on a worker thread; "Preview" plans it
/// first and shows every item in a table, and "Start Renaming" then carries out exactly that
/// plan. While a run is under way the main button reads "Stop" and the window cannot be
/// closed; afterwards it reads "Close", "Settings..." becomes "View Lists" and the run's
/// problems are listed. One run per window.
class frmRenameROMs final : public QDialog {
    Q_OBJECT
public:
    explicit frmRenameROMs(ui::JobContext& context, QWidget* parent = nullptr);
    ~frmRenameROMs() override;

    enum class State { Opened, Running, Previewed, Finished };
    State state() const { return m_state; }

    /// Refused while a run is under way.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    QWidget* build_buttons();
    void main_button();
    void settings_button();
    void folders_button();
    void preview();
    void start(bool plan_only);
    void show_progress();
    void run_finished();
    void finish();
    void set_state(State state);
    void show_problems(const core::Problems& problems);

    ui::JobContext& m_context;
    ui::EngineRun* m_run;
    State m_state = State::Opened;
    bool m_planning_only = false;
    RenameJob m_job;
    std::shared_ptr<RenamePlan> m_plan;     ///< the plan being made or shown
    std::shared_ptr<RenameReport> m_report; ///< the carried-out run's report

    QGroupBox* m_frame = nullptr;
    QTabWidget* m_tabs = nullptr;
    LogBox* m_log = nullptr;
    ui::ProgressPicture* m_picture = nullptr;
    QTableView* m_plan_view = nullptr;
    QTableView* m_problems_view = nullptr;
    PlanModel* m_plan_model = nullptr;
    ProblemsModel* m_problems_model = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_settings = nullptr;
    QPushButton* m_preview = nullptr;
    QToolButton* m_folders = nullptr;
};

} // namespace renaming
