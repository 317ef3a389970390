// The main window's commands: sorting, unsorting, undo, the news, the about window, the job
// windows, and files dropped onto the window. Each runs its engine on a worker thread and
// shows what it reports; the window goes on meanwhile.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>

#include "engine_run.h"
#include "file_list.h"
#include "folder_tree.h"
#include "frm_about.h"
#include "frm_zelkon.h"
#include "journaled_executor.h"
#include "main_menus.h"
#include "news.h"
#include "platform.h"
#include "services.h"
#include "sort_engine.h"
#include "undo_journal.h"

namespace mainwindow {

namespace {

// Opens a text file in the desktop's viewer.
class DesktopTextViewer final : public update::TextViewer {
public:
    bool show(const std::filesystem::path& file) override {
        return core::open_in_text_viewer(file);
    }
};

// The undo's report as its message box says it: the summary, then what could not be put
// back, the first few by name.
std::string undo_message_text(const core::UndoReport& report) {
    constexpr std::size_t kShown = 10;
    std::string text = report.summary;
    for (std::size_t i = 0; i < report.problems.size() && i < kShown; ++i)
        text += report.problems[i].text() + "\n";
    if (report.problems.size() > kShown)
        text += "... and " + std::to_string(report.problems.size() - kShown) + " more.\n";
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace

bool frmZelkon::busy() const {
    return m_run != nullptr && m_run->running();
}

bool frmZelkon::news_running() const {
    return m_news_run != nullptr && m_news_run->running();
}

// A connection as the menus judge it; an update server on this machine (the demo's) needs
// none.
bool frmZelkon::online() const {
    if (m_hooks.is_online)
        return m_hooks.is_online();
    return core::is_online() || update::is_local_server(update::update_root());
}

core::Answer frmZelkon::ask(const core::Message& message) {
    return m_prompter.ask(message);
}

update::TextViewer& frmZelkon::viewer() {
    if (m_hooks.viewer != nullptr)
        return *m_hooks.viewer;
    if (!m_desktop_viewer)
        m_desktop_viewer = std::make_unique<DesktopTextViewer>();
    return *m_desktop_viewer;
}

ui::EngineRun* frmZelkon::new_run() {
    auto* run = new ui::EngineRun(this);
    if (m_hooks.answerer)
        run->prompter().set_answerer(m_hooks.answerer);
    return run;
}

void frmZelkon::run_file_job(const std::function<void(core::Progress&, core::Prompter&)>& work,
                             std::function<void()> done) {
    if (busy())
        return;
    if (m_run == nullptr) {
        m_run = new_run();
        connect(&m_run->progress(), &ui::QtProgress::updated, this,
                [this] { m_status->showMessage(m_run->progress().status_text()); });
        connect(m_stop, &QToolButton::clicked, m_run, &ui::EngineRun::stop);
    }
    m_run->disconnect(this);
    connect(m_run, &ui::EngineRun::finished, this, [this, done = std::move(done)] {
        m_stop->hide();
        done();
        refresh_views();
        m_menus->enable_all();
    });
    m_menus->enable_all();
    m_run->start(work);
    m_stop->show();
}

namespace {

// A real run: every batch goes through the undo journal before it acts.
void run_sort(core::Services& services, const sorting::SortJob& job, const std::string& verb,
              core::Progress& progress, core::Prompter& prompter, sorting::SortReport& report,
              bool sort) {
    core::JournaledExecutor executor(verb + " " + job.system_id + " '" + job.current_folder + "'",
                                     prompter, progress, services.zelcore());
    report = sort ? sorting::sort_roms(job, prompter, progress, executor)
                  : sorting::unsort_roms(job, prompter, progress, executor);
}

} // namespace

void frmZelkon::sort_roms() {
    run_sort_command(true);
}
void frmZelkon::unsort_roms() {
    run_sort_command(false);
}

void frmZelkon::run_sort_command(bool sort) {
    if (m_current_system == 0)
        return;
    sorting::SortJob job{m_current_folder, current_system_id(), m_file_filter,
                         m_services.home() / "sort.ini"};
    auto report = std::make_shared<sorting::SortReport>();
    const std::string verb = sort ? "sort" : "unsort";
    run_file_job(
        [this, job, verb, report, sort](core::Progress& progress, core::Prompter& prompter) {
            run_sort(m_services, job, verb, progress, prompter, *report, sort);
        },
        [this, report] { show_summary(report->outcome); });
}

void frmZelkon::show_summary(const core::Outcome& outcome) {
    QString summary = QString::fromStdString(outcome.summary).trimmed();
    m_status->showMessage(summary, 15000);
    m_last_outcome = outcome;
}

void frmZelkon::undo_last_run() {
    std::error_code ec;
    if (busy() || !std::filesystem::exists(core::undo_journal_path(), ec))
        return;
    auto report = std::make_shared<core::UndoReport>();
    run_file_job(
        [this, report](core::Progress& progress, core::Prompter&) {
            *report =
                core::undo_last_run(core::undo_journal_path(), progress, &m_services.zelcore());
        },
        [this, report] {
            m_last_outcome = *report;
            ask({undo_message_text(*report), "Undo Last Run",
                 report->clean() ? core::Message::Icon::Information
                                 : core::Message::Icon::Exclamation,
                 core::Message::Buttons::Ok});
        });
}

void frmZelkon::read_news() {
    if (m_news_run == nullptr)
        m_news_run = new_run();
    if (m_news_run->running())
        return;
    m_news_run->start([this](core::Progress& progress, core::Prompter& prompter) {
        (void)update::NewsClient::for_home(m_services.home())
            .read_news(viewer(), prompter, progress);
    });
}

void frmZelkon::activation_handler() {
    if (m_auto_news->has_run() || !online()) {
        resize_handler();
        return;
    }
    if (m_news_run == nullptr)
        m_news_run = new_run();
    if (!m_news_run->running())
        m_news_run->start([this](core::Progress& progress, core::Prompter&) {
            (void)m_auto_news->on_activation(viewer(), progress);
        });
    resize_handler();
}

void frmZelkon::whats_new() {
    if (!update::show_whats_new(viewer(), m_services.home()))
        ask({"\"" + update::whats_new_path(m_services.home()).string() + "\" could not be shown.",
             "What's New", core::Message::Icon::Exclamation, core::Message::Buttons::Ok});
}

void frmZelkon::show_about() {
    if (m_hooks.show_about) {
        m_hooks.show_about(this);
        return;
    }
    frmAbout about(this);
    about.exec();
}

void frmZelkon::toolbar_click(const QString& key) {
    if (key == QLatin1String("db") || key == QLatin1String("folders")) {
        settings_tab = key == QLatin1String("db") ? 0 : 1;
        open_job_window(QStringLiteral("System Settings"));
    } else if (key == QLatin1String("lists")) {
        open_job_window(QStringLiteral("ROM Lists"));
    } else if (key == QLatin1String("rename")) {
        open_job_window(QStringLiteral("Rename ROMs"));
    }
}

// ---- files and folders dropped onto the window --------------------------------------

void frmZelkon::dragEnterEvent(QDragEnterEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void frmZelkon::dropEvent(QDropEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    const QFileInfo first(urls.front().toLocalFile());
    event->acceptProposedAction();
    if (first.isDir()) {
        m_tree->open_folder(first.absoluteFilePath());
        return;
    }
    // Files: their folder is shown and renamed.
    m_tree->open_folder(first.absolutePath());
    if (m_current_system != 0)
        open_job_window(QStringLiteral("Rename ROMs"));
}

} // namespace mainwindow
