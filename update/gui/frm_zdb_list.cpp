#include "frm_zdb_list.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

#include "downloaded_systems.h"
#include "engine_run.h"
#include "http_client.h"
#include "progress_window.h"
#include "update_server.h"
#include "zdb_list_model.h"

namespace update {
namespace {

QPushButton* button(const char* name, const char* text, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setAutoDefault(false);
    return b;
}

// "40 KB of 1.2 MB", or only what has arrived when the server did not give the size.
QString bytes_text(std::uint64_t done, std::uint64_t total) {
    if (done == 0 && total == 0)
        return {};
    const QLocale locale;
    QString text = locale.formattedDataSize(static_cast<qint64>(done));
    if (total > 0)
        text += QStringLiteral(" of ") + locale.formattedDataSize(static_cast<qint64>(total));
    return text;
}

} // namespace

frmZDBList::frmZDBList(ui::JobContext& context, QWidget* parent)
    : QDialog(parent), m_context(context),
      m_list(ServerAddresses(update_root()), HttpClient(http_options_from_settings())),
      m_model(new ZdbListModel(m_list, this)), m_view(new QTreeView(this)),
      m_picture(new ui::ProgressPicture(this)), m_status(new QLabel(this)),
      m_log(new QPlainTextEdit(this)), m_run(new ui::EngineRun(this)) {
    setObjectName(QStringLiteral("frmZDBList"));
    setWindowTitle(QStringLiteral("ZDB List"));
    if (m_context.answerer)
        m_run->prompter().set_answerer(m_context.answerer);
    build();
    connect(m_run, &ui::EngineRun::finished, this, &frmZDBList::on_finished);
    connect(&m_run->progress(), &ui::QtProgress::updated, this, &frmZDBList::show_progress);
}

// The run goes first: its worker uses the list, which goes with the window's members.
frmZDBList::~frmZDBList() {
    delete m_run;
}

bool frmZDBList::running() const {
    return m_job != Job::None;
}

void frmZDBList::build() {
    m_view->setObjectName(QStringLiteral("ListView1"));
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->header()->setSectionsClickable(true);
    m_view->header()->setSortIndicatorShown(false);
    connect(m_view->header(), &QHeaderView::sectionClicked, this, &frmZDBList::sort_by);

    m_picture->setObjectName(QStringLiteral("picProgress"));
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_log->setObjectName(QStringLiteral("txtLog"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setMaximumHeight(m_log->fontMetrics().lineSpacing() * 5 + 12);

    m_stop = button("cmdStop", "Stop", this);
    m_stop->setEnabled(false);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_run->stop(); });

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_picture, 1);
    bar->addWidget(m_stop);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(bar);
    layout->addWidget(m_status);
    layout->addWidget(m_log);
    layout->addWidget(build_buttons());
    resize(760, 500);
}

QFrame* frmZDBList::build_buttons() {
    m_buttons = new QFrame(this);
    m_buttons->setObjectName(QStringLiteral("Frame2"));
    m_uncheck = button("cmdUncheck", "Uncheck All", m_buttons);
    m_refresh = button("cmdRefreshList", "Refresh List", m_buttons);
    m_update = button("cmdUpdate", "Update ZDBs", m_buttons);
    connect(m_uncheck, &QPushButton::clicked, this, &frmZDBList::uncheck_all);
    connect(m_refresh, &QPushButton::clicked, this, &frmZDBList::refresh_list);
    connect(m_update, &QPushButton::clicked, this, &frmZDBList::update_zdbs);
    auto* row = new QHBoxLayout(m_buttons);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_uncheck);
    row->addStretch(1);
    row->addWidget(m_refresh);
    row->addWidget(m_update);
    return m_buttons;
}

// Each time the window comes up, the list is fetched again.
void frmZDBList::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        refresh_list();
}

void frmZDBList::reject() {
    if (m_job == Job::Update)
        return;
    // A fetch of the list has nothing to keep: it is stopped.
    m_run->stop();
    QDialog::reject();
}

void frmZDBList::refresh_list() {
    start(Job::Refresh);
}

void frmZDBList::update_zdbs() {
    start(Job::Update);
}

void frmZDBList::uncheck_all() {
    if (running())
        return;
    m_list.uncheck_all();
    m_model->reload_marks();
}

// The list decides the order (the same column again flips it); the header shows it.
void frmZDBList::sort_by(int column) {
    if (running() || column < 0)
        return;
    m_list.sort_by(static_cast<std::size_t>(column));
    show_list();
}

void frmZDBList::start(Job job) {
    if (running())
        return;
    m_job = job;
    m_view->setEnabled(false);
    m_buttons->setEnabled(false);
    m_stop->setEnabled(true);
    m_run->start([this, job](core::Progress& progress, core::Prompter& prompter) {
        if (job == Job::Refresh) {
            m_refreshed = m_list.refresh_list(prompter, progress);
            return;
        }
        m_report = m_list.update_marked(prompter, progress);
        m_downloaded = read_downloaded(m_report.replaced);
    });
}

void frmZDBList::on_finished() {
    const Job job = std::exchange(m_job, Job::None);
    append_log(m_run->progress().take_log());
    if (!m_run->failure().isEmpty())
        append_log(m_run->failure() + QLatin1Char('\n'));
    if (job == Job::Update)
        after_update();
    m_picture->set_progress(0, 0);
    m_status->clear();
    show_list();
    m_view->setEnabled(true);
    m_buttons->setEnabled(true);
    m_stop->setEnabled(false);
    // A list that could not be fetched was told in a message box; the window goes with it.
    const bool lost = job == Job::Refresh ? m_refreshed.end == core::End::Failed
                                          : m_list.columns().empty() && !m_report.summary.empty();
    if (lost)
        QDialog::reject();
}

// The run's summary, and the databases just downloaded put in the main window's list.
void frmZDBList::after_update() {
    append_log(QString::fromStdString(m_report.summary));
    std::vector<core::SystemEntry> downloaded = std::exchange(m_downloaded, {});
    if (m_context.systems == nullptr || downloaded.empty())
        return;
    if (add_new_systems(*m_context.systems, downloaded) > 0 && m_context.systems_changed)
        m_context.systems_changed();
}

void frmZDBList::show_progress() {
    ui::QtProgress& progress = m_run->progress();
    append_log(progress.take_log());
    m_picture->set_progress(progress.done(), progress.total());
    QString text = progress.status_text();
    const QString bytes = bytes_text(progress.bytes_done(), progress.bytes_total());
    if (!bytes.isEmpty())
        text = text.isEmpty() ? bytes : text + QStringLiteral(": ") + bytes;
    m_status->setText(text);
}

// The engine ends its lines with CR LF; the box shows plain line breaks.
void frmZDBList::append_log(const QString& text) {
    if (text.isEmpty())
        return;
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    if (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    m_log->appendPlainText(shown);
}

void frmZDBList::show_list() {
    m_model->reload();
    // Room beside the longest text, so that columns do not run into each other.
    const int gap = m_view->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    for (int c = 0; c < m_model->columnCount(); ++c) {
        m_view->resizeColumnToContents(c);
        m_view->setColumnWidth(c, m_view->columnWidth(c) + gap);
    }
    const auto column = m_list.sort_column();
    m_view->header()->setSortIndicatorShown(column.has_value());
    if (column)
        m_view->header()->setSortIndicator(static_cast<int>(*column), m_list.sort_descending()
                                                                          ? Qt::DescendingOrder
                                                                          : Qt::AscendingOrder);
}

} // namespace update
