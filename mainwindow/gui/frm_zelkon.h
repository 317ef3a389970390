#pragma once

#include <QMainWindow>
#include <QSize>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "job_context.h"
#include "outcome.h"
#include "qt_prompter.h"
#include "rdbs.h"
#include "startup.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace core {
class Services;
}
namespace update {
class AutoNewsOnce;
class TextViewer;
} // namespace update
namespace ui {
class EngineRun;
class FolderTree;
class SplitterBar;
} // namespace ui

namespace mainwindow {

class FileList;
class MainMenus;

/// What the main window reaches outside itself; tests replace these.
struct MainWindowHooks {
    std::function<bool()> is_online;          ///< default: core::is_online
    ui::QtPrompter::Answerer answerer;        ///< default: message boxes
    update::TextViewer* viewer = nullptr;     ///< default: the desktop's text viewer
    std::function<void(QWidget*)> show_about; ///< default: frmAbout, modally
    std::optional<QSize> screen;              ///< default: the window's screen, in pixels
};

/// `frmZelkon`, the main window: the system list and folder tree on the left, the folder
/// text and the file list on the right, a splitter between them, the menus, the toolbar
/// and the status bar. It collects input, runs the engines on a worker thread and shows
/// what they report. UI thread only.
class frmZelkon final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmZelkon(core::Services& services, MainWindowHooks hooks = {});
    ~frmZelkon() override;

    /// The load handler: the whole start-up, in order. Returns when the window is ready to
    /// be shown; the databases are read on a worker thread meanwhile.
    void load();

    const std::vector<core::SystemEntry>& systems() const { return m_systems; }
    /// 0 while no system is selected, else the 1-based index into systems().
    std::size_t current_system() const { return m_current_system; }
    std::string current_system_id() const;
    /// The folder shown with a trailing separator; "" when none.
    const std::string& current_folder() const { return m_current_folder; }
    const std::string& file_filter() const { return m_file_filter; }
    /// The tab a settings window opens on.
    int settings_tab = 0;

    /// Lays out the controls inside the two panes; the splitter calls it after every move.
    void Resize_Splitter();
    void update_file_pattern();
    void update_rom_label();
    /// Runs the main window's resize handler (after a bar was shown or hidden).
    void resize_handler();

    /// The panes, bars and controls, by the names the windows' code uses.
    ui::FolderTree* folder_tree() const { return m_tree; }
    FileList* file_list() const { return m_list; }
    ui::SplitterBar* splitter() const { return m_splitter; }
    QToolBar* toolbar() const { return m_toolbar; }
    QStatusBar* status_bar() const { return m_status; }
    MainMenus* menus() const { return m_menus; }
    /// True while a sort, unsort, undo or news run is under way.
    bool busy() const;
    /// True while the news is being fetched (Read News or the automatic news).
    bool news_running() const;

    // The commands of the menus and the toolbar.
    void sort_roms();
    void unsort_roms();
    void undo_last_run();
    void read_news();
    void whats_new();
    void show_about();
    void open_job_window(const QString& name);
    /// What a job window opened now gets from this window.
    ui::JobContext job_context();
    void set_file_style(int index);
    void refresh_views();
    void toolbar_click(const QString& key);
    /// The message box of a command of this window.
    core::Answer ask(const core::Message& message);
    bool online() const;
    /// How the last sort, unsort or undo ended.
    const core::Outcome& last_outcome() const { return m_last_outcome; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void build_controls();
    void load_databases();
    void select_system(std::size_t index);
    void restore_window();
    void set_up_layout();
    void place_bars();
    void activation_handler();
    void on_folder_selected(const QString& folder);
    void run_file_job(const std::function<void(core::Progress&, core::Prompter&)>& work,
                      std::function<void()> done);
    ui::EngineRun* new_run();
    void run_sort_command(bool sort);
    void reload_system_list();
    void show_summary(const core::Outcome& outcome);
    update::TextViewer& viewer();

    core::Services& m_services;
    MainWindowHooks m_hooks;
    std::vector<core::SystemEntry> m_systems;
    std::size_t m_current_system = 0;
    std::string m_current_folder;
    std::string m_file_filter;
    int m_resize_nesting = 0;

    QWidget* m_client = nullptr;
    QFrame* m_frame1 = nullptr;
    QFrame* m_frame2 = nullptr;
    QFrame* m_bar = nullptr;
    QComboBox* m_systems_box = nullptr;
    ui::FolderTree* m_tree = nullptr;
    QLineEdit* m_folder_text = nullptr;
    FileList* m_list = nullptr;
    QToolBar* m_toolbar = nullptr;
    QStatusBar* m_status = nullptr;
    QLabel* m_panels[3] = {};
    QToolButton* m_stop = nullptr;
    ui::SplitterBar* m_splitter = nullptr;
    MainMenus* m_menus = nullptr;
    ui::QtPrompter m_prompter;
    ui::EngineRun* m_run = nullptr;
    std::unique_ptr<update::TextViewer> m_desktop_viewer;
    std::unique_ptr<update::AutoNewsOnce> m_auto_news;
    ui::EngineRun* m_news_run = nullptr;
    core::Outcome m_last_outcome;
};

} // namespace mainwindow
