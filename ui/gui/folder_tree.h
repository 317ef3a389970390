#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTreeView>

class QFileSystemModel;
class QTimer;

namespace ui {

/// The folder tree of the main window and of the folder chooser: the file system's
/// folders (no files), read lazily as branches open, hidden folders left out.
///
/// UI thread only.
class FolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);

    /// Selects `folder` (opening the branches above it) and scrolls it into view. False,
    /// and nothing changes, when it is not an existing folder.
    bool open_folder(const QString& folder);

    /// The selected folder's path without a trailing separator ("/" for the root); "" when
    /// nothing is selected or the selection has no file-system path.
    QString selected_folder() const;

    /// Makes a new folder inside the selected one, selects it and starts editing its name
    /// in place. The name starts as "New Folder" (then "New Folder (2)", ...). False when
    /// nothing is selected or the folder could not be made; the reason is in `error`.
    bool new_folder(QString* error = nullptr);

    /// Reads the folders again (after a run moved or made some).
    void refresh();

signals:
    /// After every change of the selection; "" when the new selection has no path.
    void folder_selected(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void attach(QFileSystemModel* model);
    void settle(int scroll);
    void apply_settle();
    void add_expanded(const QModelIndex& parent, QStringList& folders) const;

    QFileSystemModel* m_model = nullptr;
    QElapsedTimer m_settling; ///< since the view was last set by the program
    int m_keep_scroll = -1;   ///< the scroll position to keep; -1: centre the selection
    QTimer* m_settle_timer;
    QString m_follow; ///< a folder just renamed in place, kept selected while the model settles
};

} // namespace ui
