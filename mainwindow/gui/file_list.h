#pragma once

#include <QFutureWatcher>
#include <QString>
#include <QWidget>

#include <vector>

#include "file_list_model.h"

class QAbstractItemView;
class QFileSystemWatcher;
class QListView;
class QStackedWidget;
class QTimer;
class QTreeView;

namespace mainwindow {

/// The main window's file list: the files of one folder that match a filter, in the
/// order the engines take them (core::list_folder_files), in one of four view styles.
/// The folder is read on a worker thread, so a folder of 100,000 files neither blocks
/// the window nor takes seconds; changes on disk are picked up by themselves.
///
/// UI thread only. changed() comes after every new listing (a new folder, filter or
/// refresh, or the folder's contents changed), never while a listing is under way.
class FileList : public QWidget {
    Q_OBJECT
public:
    enum class Style { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };

    explicit FileList(QWidget* parent = nullptr);
    ~FileList() override;

    /// Lists `folder` (with or without a trailing separator); "" shows nothing.
    void set_folder(const QString& folder);
    /// The folder last set (shown once its listing arrives), without a trailing separator
    /// ("/" for the root); "" when none.
    QString folder() const;

    /// `;`-separated patterns matched without regard to case ("*.bin;*.zip").
    void set_filter(const QString& patterns);
    QString filter() const;

    /// The files listed, and each one's full path by position.
    int count() const;
    QString item_path(int row) const;

    void set_style(Style style);
    Style style() const;

    /// Reads the folder again.
    void refresh();

    /// True while a listing runs on the worker thread.
    bool listing() const;

signals:
    void changed();
    /// A file was opened (double click or Enter).
    void activated(const QString& path);

private:
    /// What a worker hands back: the rows of one request.
    struct Listing {
        quint64 request = 0;
        QString folder;
        std::vector<FileEntry> entries;
    };

    void build_views();
    void request_listing();
    void start_listing();
    void listing_done();
    void show_listing(Listing listing);
    void watch_folder();
    void apply_style();
    void fit_list_grid();
    QAbstractItemView* current_view() const;

    FileListModel* m_model;
    QStackedWidget* m_stack;
    QListView* m_list;
    QTreeView* m_details;
    QFileSystemWatcher* m_watcher;
    QTimer* m_relist;
    QFutureWatcher<Listing> m_worker;

    QString m_folder;
    QString m_filter;
    Style m_style = Style::List;
    quint64 m_request = 0; ///< the newest request; older listings are dropped
    quint64 m_running_request = 0;
    bool m_running = false; ///< a listing runs on the worker
    bool m_pending = false; ///< a newer request waits for the running listing to end
};

} // namespace mainwindow
