#include "file_list.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QListView>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace mainwindow {
namespace {

// Changes on disk come in bursts (a rename run touches every file): they are gathered for
// this long, so a busy folder is listed a few times a second at most.
constexpr int kRelistDelayMs = 300;

constexpr int kSmallIcon = 16;
constexpr int kLargeIcon = 48;
// Names wider than these are shortened in the middle: the list style shows columns of names,
// small icons rows of several names, large icons two lines under each icon.
constexpr int kListNameWidth = 420;
constexpr int kSmallIconsNameWidth = 260;
constexpr int kLargeIconsWidth = 128;

QString without_trailing_separator(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

void set_up_view(QAbstractItemView* view) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTextElideMode(Qt::ElideMiddle);
}

// The longest name by its letters: a close enough stand-in for the widest, found without
// measuring every name.
QString longest_name(const std::vector<FileEntry>& entries) {
    const auto it = std::max_element(entries.begin(), entries.end(), [](auto& a, auto& b) {
        return a.name.size() < b.name.size();
    });
    return it == entries.end() ? QString() : it->name;
}

} // namespace

FileList::FileList(QWidget* parent)
    : QWidget(parent), m_model(new FileListModel(this)), m_stack(new QStackedWidget(this)),
      m_list(new QListView(m_stack)), m_details(new QTreeView(m_stack)),
      m_watcher(new QFileSystemWatcher(this)), m_relist(new QTimer(this)) {
    build_views();
    m_relist->setSingleShot(true);
    m_relist->setInterval(kRelistDelayMs);
    connect(m_relist, &QTimer::timeout, this, &FileList::refresh);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_relist->isActive())
            m_relist->start();
    });
    connect(&m_worker, &QFutureWatcher<Listing>::finished, this, &FileList::listing_done);
    apply_style();
}

// A listing still running keeps only copies of its folder and filter, so it may end after
// the list is gone; its result is then simply never collected.
FileList::~FileList() = default;

void FileList::build_views() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_details);

    set_up_view(m_list);
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);

    set_up_view(m_details);
    m_details->setModel(m_model);
    // One selection for both views, so switching styles keeps what is selected.
    QItemSelectionModel* own = m_details->selectionModel();
    m_details->setSelectionModel(m_list->selectionModel());
    delete own;
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    m_details->header()->resizeSection(FileListModel::Name, 22 * em);
    m_details->header()->resizeSection(FileListModel::Size, 8 * em);
    m_details->header()->resizeSection(FileListModel::Type, 8 * em);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_list), static_cast<QAbstractItemView*>(m_details)})
        connect(view, &QAbstractItemView::activated, this,
                [this](const QModelIndex& index) { emit activated(m_model->path(index.row())); });
}

void FileList::set_folder(const QString& folder) {
    m_folder = without_trailing_separator(folder);
    watch_folder();
    request_listing();
}

QString FileList::folder() const {
    return m_folder;
}

void FileList::set_filter(const QString& patterns) {
    m_filter = patterns;
    request_listing();
}

QString FileList::filter() const {
    return m_filter;
}

int FileList::count() const {
    return m_model->rowCount();
}

QString FileList::item_path(int row) const {
    return m_model->path(row);
}

void FileList::set_style(Style style) {
    m_style = style;
    apply_style();
}

FileList::Style FileList::style() const {
    return m_style;
}

void FileList::refresh() {
    watch_folder();
    request_listing();
}

bool FileList::listing() const {
    return m_pending || (m_running && m_running_request == m_request);
}

// Every request gets a number; a listing whose number is no longer the newest is dropped
// when it ends. One listing runs at a time: a request during it waits, and only the newest
// of those waiting runs.
void FileList::request_listing() {
    ++m_request;
    m_relist->stop();
    if (m_folder.isEmpty()) {
        m_pending = false;
        show_listing({m_request, {}, {}});
    } else if (m_running) {
        m_pending = true;
    } else {
        start_listing();
    }
}

void FileList::start_listing() {
    m_running = true;
    m_running_request = m_request;
    m_pending = false;
    m_worker.setFuture(
        QtConcurrent::run([request = m_request, folder = m_folder, filter = m_filter] {
            return Listing{request, folder, read_file_entries(folder, filter)};
        }));
}

void FileList::listing_done() {
    m_running = false;
    Listing listing = m_worker.result();
    if (m_pending)
        start_listing();
    else if (listing.request == m_request)
        show_listing(std::move(listing));
}

// A new listing of the folder already shown keeps the current file and the scroll position,
// and leaves the rows alone when nothing changed.
void FileList::show_listing(Listing listing) {
    const bool same_folder = listing.folder == m_model->folder();
    if (same_folder && listing.entries == m_model->entries()) {
        emit changed();
        return;
    }
    QAbstractItemView* view = current_view();
    const QModelIndex current = view->currentIndex();
    const QString current_name =
        current.isValid() ? m_model->entries()[current.row()].name : QString();
    const QPoint scrolled(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    m_model->show(listing.folder, std::move(listing.entries));
    fit_list_grid();
    if (same_folder) {
        view->doItemsLayout(); // the scroll ranges of the new rows
        const int row = m_model->row_of(current_name);
        if (row >= 0)
            view->setCurrentIndex(m_model->index(row, 0));
        view->horizontalScrollBar()->setValue(scrolled.x());
        view->verticalScrollBar()->setValue(scrolled.y());
    }
    emit changed();
}

// Watched afresh each time: a folder removed and made again is a new folder to the system.
void FileList::watch_folder() {
    const QStringList watched = m_watcher->directories();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    if (!m_folder.isEmpty() && QFileInfo(m_folder).isDir())
        m_watcher->addPath(m_folder);
}

void FileList::apply_style() {
    if (m_style == Style::Details) {
        m_stack->setCurrentWidget(m_details);
        setFocusProxy(m_details);
        return;
    }
    const bool large = m_style == Style::LargeIcons;
    m_list->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setWrapping(true);
    m_list->setFlow(m_style == Style::List ? QListView::TopToBottom : QListView::LeftToRight);
    m_list->setWordWrap(large);
    m_list->setIconSize(QSize(large ? kLargeIcon : kSmallIcon, large ? kLargeIcon : kSmallIcon));
    fit_list_grid();
    m_stack->setCurrentWidget(m_list);
    setFocusProxy(m_list);
}

// Every item gets the same cell, so laying out 100,000 rows asks for no item's size: wide
// enough for the longest name in the list styles, two lines under the icon for large icons.
void FileList::fit_list_grid() {
    const QFontMetrics metrics = m_list->fontMetrics();
    const int line = metrics.height();
    if (m_style == Style::LargeIcons) {
        m_list->setGridSize(QSize(kLargeIconsWidth, kLargeIcon + 2 * line + 12));
        return;
    }
    const int widest = m_style == Style::List ? kListNameWidth : kSmallIconsNameWidth;
    const int text = metrics.horizontalAdvance(longest_name(m_model->entries()));
    const int width = std::clamp(text + kSmallIcon + 16, 8 * line, widest);
    m_list->setGridSize(QSize(width, std::max(line, kSmallIcon) + 4));
}

QAbstractItemView* FileList::current_view() const {
    return m_style == Style::Details ? static_cast<QAbstractItemView*>(m_details) : m_list;
}

} // namespace mainwindow
