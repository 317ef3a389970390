#pragma once

#include <QString>
#include <QWidget>

class QStackedWidget;
class QListView;
class QTreeView;

namespace mainwindow {

class FileListModel;

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
    /// The folder shown, without a trailing separator; "" when none.
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
    // The implementation keeps its own state here.
    struct State;
    State* m_state;
};

} // namespace mainwindow
