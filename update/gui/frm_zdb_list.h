#pragma once

#include <QDialog>
#include <vector>

#include "database_list.h"
#include "job_context.h"
#include "rdbs.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

namespace ui {
class EngineRun;
class ProgressPicture;
} // namespace ui

namespace update {

class ZdbListModel;

/// `frmZDBList`: the databases the update server offers, marked when new or out of date,
/// and the download of the marked ones.
///
/// The list is fetched each time the window is shown and by Refresh List; fetching and
/// downloading run on a worker, with the list and the buttons disabled meanwhile and Stop
/// enabled. The window cannot be closed while databases are being downloaded. A database it
/// has downloaded that the program does not list yet is added to the system list.
class frmZDBList final : public QDialog {
    Q_OBJECT
public:
    explicit frmZDBList(ui::JobContext& context, QWidget* parent = nullptr);
    ~frmZDBList() override;

    /// True while the list is being fetched or databases downloaded.
    bool running() const;
    ZdbListModel* model() const { return m_model; }

public slots:
    /// Refused while an update runs.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class Job { None, Refresh, Update };

    void build();
    QFrame* build_buttons();
    void refresh_list();
    void update_zdbs();
    void uncheck_all();
    void sort_by(int column);
    void start(Job job);
    void on_finished();
    void after_update();
    void show_progress();
    void append_log(const QString& text);
    void show_list();

    ui::JobContext& m_context;
    DatabaseList m_list;
    ZdbListModel* m_model;
    QTreeView* m_view;
    ui::ProgressPicture* m_picture;
    QLabel* m_status;
    QPlainTextEdit* m_log;
    QFrame* m_buttons;
    QPushButton* m_uncheck;
    QPushButton* m_refresh;
    QPushButton* m_update;
    QPushButton* m_stop;
    ui::EngineRun* m_run;

    Job m_job = Job::None;
    core::Outcome m_refreshed;
    UpdateReport m_report;
    std::vector<core::SystemEntry> m_downloaded;
};

} // namespace update
