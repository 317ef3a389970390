#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QLocale>
#include <QString>

#include <vector>

namespace mainwindow {

/// One file of a listing, with what one stat of it told.
struct FileEntry {
    QString name;
    qint64 size = -1;     ///< bytes; -1 when the file could not be read
    qint64 modified = 0;  ///< seconds since the epoch
    bool archive = false; ///< a ZIP archive by its name

    bool operator==(const FileEntry&) const = default;
};

/// The files of `folder` that match the `;`-separated `patterns` without regard to case, in
/// the order the engines take them, each with its size and modification time. Safe on any
/// thread: this is what the file list runs on its worker.
std::vector<FileEntry> read_file_entries(const QString& folder, const QString& patterns);

/// The rows of the file list: one per file, nothing made per row up front, so 100,000 rows
/// cost one small record each. The columns are those of the details view.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Size, Type, Modified, ColumnCount };

    explicit FileListModel(QObject* parent = nullptr);

    /// Shows `entries` of `folder` in place of the rows before, in one model reset.
    void show(const QString& folder, std::vector<FileEntry> entries);
    const QString& folder() const { return m_folder; }
    const std::vector<FileEntry>& entries() const { return m_entries; }

    /// The full path of a row; "" out of range.
    QString path(int row) const;
    /// The row of the file named `name`; -1 when it is not listed.
    int row_of(const QString& name) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVariant display(const FileEntry& entry, int column) const;

    QString m_folder;
    std::vector<FileEntry> m_entries;
    QIcon m_file_icon;
    QIcon m_archive_icon;
    QLocale m_locale;
};

} // namespace mainwindow
