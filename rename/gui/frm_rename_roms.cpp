#include "frm_rename_roms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine_run.h"
#include "log_box.h"
#include "plan_model.h"
#include "progress_window.h"
#include "rename_work.h"
#include "services.h"

namespace renaming {
namespace {

enum Tab { kLogTab, kPreviewTab, kProblemsTab };

QTableView* new_table(QAbstractItemModel* model, const char* name, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideMiddle); // a path keeps its file name in view
    view->verticalHeader()->hide();
    // Rows of one height and columns sized by the view, never by their contents: the view
    // never measures 100,000 rows to lay them out.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    return view;
}

} // namespace

frmRenameROMs::frmRenameROMs(ui::JobContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_run(new ui::EngineRun(this)) {
    setObjectName(QStringLiteral("frmRenameROMs"));
    const core::SystemEntry* system = context.system();
    const std::string long_name = system != nullptr ? system->long_name : std::string();
    setWindowTitle(QStringLiteral("Rename ") + QString::fromStdString(long_name) +
                   QStringLiteral(" ROMs"));
    if (context.answerer)
        m_run->prompter().set_answerer(context.answerer);
    build();
    connect(&m_run->progress(), &ui::QtProgress::updated, this, &frmRenameROMs::show_progress);
    connect(&m_run->progress(), &ui::QtProgress::beeped, this, [] { QApplication::beep(); });
    connect(m_run, &ui::EngineRun::finished, this, &frmRenameROMs::run_finished);
    set_state(State::Opened);
}

frmRenameROMs::~frmRenameROMs() = default;

void frmRenameROMs::build() {
    m_frame = new QGroupBox(QString::fromStdString(m_context.current_folder), this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_log = new LogBox(m_frame);
    m_plan_model = new PlanModel(this);
    m_problems_model = new ProblemsModel(this);
    m_plan_view = new_table(m_plan_model, "tblPlan", m_frame);
    m_problems_view = new_table(m_problems_model, "tblProblems", m_frame);
    QHeaderView* actions = m_plan_view->horizontalHeader();
    actions->setSectionResizeMode(PlanModel::kAction, QHeaderView::Fixed);
    actions->resizeSection(
        PlanModel::kAction,
        actions->fontMetrics().horizontalAdvance(QStringLiteral("Rename member")) + 24);
    m_tabs = new QTabWidget(m_frame);
    m_tabs->setObjectName(QStringLiteral("tabViews"));
    m_tabs->insertTab(kLogTab, m_log, QStringLiteral("Log"));
    m_tabs->insertTab(kPreviewTab, m_plan_view, QStringLiteral("Preview"));
    m_tabs->insertTab(kProblemsTab, m_problems_view, QStringLiteral("Problems"));
    m_picture = new ui::ProgressPicture(m_frame);
    m_picture->setObjectName(QStringLiteral("picProgress"));
    m_picture->setFixedHeight(18);
    auto* inside = new QVBoxLayout(m_frame);
    inside->addWidget(m_tabs, 1);
    inside->addWidget(m_picture);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_frame, 1);
    layout->addWidget(build_buttons());
    resize(640, 440);
}

QWidget* frmRenameROMs::build_buttons() {
    auto* row = new QWidget(this);
    m_folders = new QToolButton(row);
    m_folders->setObjectName(QStringLiteral("cmdFolders"));
    m_folders->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
    m_folders->setToolTip(QStringLiteral("Set Folders"));
    m_settings = new QPushButton(QStringLiteral("Settings..."), row);
    m_settings->setObjectName(QStringLiteral("cmdSettings"));
    m_preview = new QPushButton(QStringLiteral("Preview"), row);
    m_preview->setObjectName(QStringLiteral("cmdPreview"));
    m_ok = new QPushButton(QStringLiteral("Start Renaming"), row);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    // The main button keeps one width while its caption changes.
    m_ok->setMinimumWidth(m_ok->fontMetrics().horizontalAdvance(m_ok->text()) + 32);
    auto* buttons = new QHBoxLayout(row);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(m_folders);
    buttons->addWidget(m_settings);
    buttons->addStretch(1);
    buttons->addWidget(m_preview);
    buttons->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &frmRenameROMs::main_button);
    connect(m_settings, &QPushButton::clicked, this, &frmRenameROMs::settings_button);
    connect(m_folders, &QToolButton::clicked, this, &frmRenameROMs::folders_button);
    connect(m_preview, &QPushButton::clicked, this, &frmRenameROMs::preview);
    return row;
}

void frmRenameROMs::main_button() {
    switch (m_state) {
    case State::Opened:
    case State::Previewed:
        start(false);
        break;
    case State::Running:
        m_run->stop();
        break;
    case State::Finished:
        accept();
        break;
    }
}

void frmRenameROMs::settings_button() {
    if (m_state == State::Finished) {
        if (m_context.open_window)
            m_context.open_window(QStringLiteral("ROM Lists"));
        return;
    }
    if (m_context.settings_tab != nullptr)
        *m_context.settings_tab = 2;
    if (m_context.open_window)
        m_context.open_window(QStringLiteral("General Settings"));
}

void frmRenameROMs::folders_button() {
    if (m_context.settings_tab != nullptr)
        *m_context.settings_tab = 1;
    if (m_context.open_window)
        m_context.open_window(QStringLiteral("System Settings"));
}

void frmRenameROMs::preview() {
    if (m_state == State::Opened)
        start(true);
}

// Planning alone (a preview), carrying out the plan a preview showed, or both at once.
void frmRenameROMs::start(bool plan_only) {
    if (m_context.services == nullptr)
        return;
    core::Services* services = m_context.services;
    const bool carry_out_shown = m_state == State::Previewed;
    if (!carry_out_shown) {
        m_job = job_for(m_context);
        m_plan = std::make_shared<RenamePlan>();
    }
    m_report = std::make_shared<RenameReport>();
    m_planning_only = plan_only;
    ui::EngineRun::Work work;
    if (plan_only) {
        work = [job = m_job, services, plan = m_plan](core::Progress& p, core::Prompter& q) {
            *plan = plan_in_window(job, *services, p, q);
        };
    } else if (carry_out_shown) {
        work = [job = m_job, services, plan = m_plan, report = m_report](core::Progress& p,
                                                                         core::Prompter& q) {
            *report = carry_out_in_window(*plan, job, *services, p, q);
        };
    } else {
        work = [job = m_job, services, report = m_report](core::Progress& p, core::Prompter& q) {
            *report =
                carry_out_in_window(plan_in_window(job, *services, p, q), job, *services, p, q);
        };
    }
    if (m_run->start(std::move(work)))
        set_state(State::Running);
}

void frmRenameROMs::show_progress() {
    m_log->append_log(m_run->progress().take_log());
    m_picture->set_progress(m_run->progress().done(), m_run->progress().total());
}

void frmRenameROMs::run_finished() {
    show_progress();
    if (!m_run->failure().isEmpty())
        m_log->append_log(QStringLiteral("\r\n") + m_run->failure() + QStringLiteral("\r\n"));
    if (m_planning_only && m_run->failure().isEmpty() && m_plan->report.completed()) {
        m_plan_model->set_plan(m_plan);
        show_problems(m_plan->report.problems);
        m_tabs->setCurrentIndex(kPreviewTab);
        set_state(State::Previewed);
        return;
    }
    if (m_planning_only)
        *m_report = m_plan->report;
    finish();
}

// After a run, stopped or refused or completed: one run per window.
void frmRenameROMs::finish() {
    if (!m_report->summary.empty())
        m_log->append_log(QStringLiteral("\r\n") + QString::fromStdString(m_report->summary));
    // What no single run owns (the checksum cache turning itself off) is said once, here.
    for (const auto& line : m_context.services->take_notices())
        m_log->append_log(QStringLiteral("\r\n") + QString::fromStdString(line));
    show_problems(m_report->problems);
    m_tabs->setCurrentIndex(kLogTab); // the run's report, also after a preview
    set_state(State::Finished);
    if (m_context.refresh_views)
        m_context.refresh_views();
}

void frmRenameROMs::show_problems(const core::Problems& problems) {
    m_problems_model->set_problems(problems);
    m_tabs->setTabText(kProblemsTab, problems.empty()
                                         ? QStringLiteral("Problems")
                                         : QStringLiteral("Problems (%1)").arg(problems.size()));
    m_tabs->setTabEnabled(kProblemsTab, !problems.empty());
}

void frmRenameROMs::set_state(State state) {
    m_state = state;
    const bool idle = state == State::Opened;
    m_ok->setText(state == State::Running    ? QStringLiteral("Stop")
                  : state == State::Finished ? QStringLiteral("Close")
                                             : QStringLiteral("Start Renaming"));
    m_settings->setText(state == State::Finished ? QStringLiteral("View Lists")
                                                 : QStringLiteral("Settings..."));
    m_settings->setEnabled(idle || state == State::Finished);
    m_folders->setEnabled(idle);
    m_preview->setEnabled(idle);
    m_tabs->setTabEnabled(kPreviewTab, state == State::Previewed || m_plan_model->rowCount() > 0);
}

void frmRenameROMs::reject() {
    if (m_state != State::Running)
        QDialog::reject();
}

void frmRenameROMs::closeEvent(QCloseEvent* event) {
    if (m_state == State::Running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace renaming
