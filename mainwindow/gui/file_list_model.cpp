#include "file_list_model.h"

#include <QDateTime>
#include <QFile>
#include <QFileIconProvider>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "folder_walk.h"

namespace mainwindow {
namespace {

bool is_archive(const QString& name) {
    return name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

// One stat per file through the folder's descriptor, so no path is built per file.
void read_status(int folder_fd, const std::string& name, FileEntry& entry) {
    struct stat st {};
    if (folder_fd < 0 || ::fstatat(folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    entry.size = st.st_size;
    entry.modified = st.st_mtim.tv_sec;
}

QString type_text(const FileEntry& entry) {
    if (entry.archive)
        return FileListModel::tr("ZIP Archive");
    const qsizetype dot = entry.name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == entry.name.size() - 1)
        return FileListModel::tr("File");
    return FileListModel::tr("%1 File").arg(entry.name.mid(dot + 1).toUpper());
}

// Whole kilobytes, rounded up as file managers show them, so the column stays narrow and
// sizes line up: "0 KB", "1 KB", "1,024 KB".
QString size_text(const QLocale& locale, qint64 bytes) {
    return FileListModel::tr("%1 KB").arg(locale.toString((bytes + 1023) / 1024));
}

QIcon archive_icon(const QIcon& fallback) {
    return QIcon::fromTheme(QStringLiteral("application-zip"),
                            QIcon::fromTheme(QStringLiteral("package-x-generic"), fallback));
}

} // namespace

std::vector<FileEntry> read_file_entries(const QString& folder, const QString& patterns) {
    const std::string native = QFile::encodeName(folder).toStdString();
    const auto names = core::list_folder_files(native, patterns.toStdString());
    std::vector<FileEntry> entries(names.size());
    const int fd = names.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_DIRECTORY);
    for (std::size_t i = 0; i < names.size(); ++i) {
        entries[i].name = QFile::decodeName(names[i].c_str());
        entries[i].archive = is_archive(entries[i].name);
        read_status(fd, names[i], entries[i]);
    }
    if (fd >= 0)
        ::close(fd);
    return entries;
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {
    const QFileIconProvider provider;
    m_file_icon = provider.icon(QFileIconProvider::File);
    m_archive_icon = archive_icon(m_file_icon);
}

void FileListModel::show(const QString& folder, std::vector<FileEntry> entries) {
    beginResetModel();
    m_folder = folder;
    m_entries = std::move(entries);
    endResetModel();
}

QString FileListModel::path(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    const auto& name = m_entries[static_cast<std::size_t>(row)].name;
    return m_folder.endsWith(QLatin1Char('/')) ? m_folder + name
                                               : m_folder + QLatin1Char('/') + name;
}

int FileListModel::row_of(const QString& name) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].name == name)
            return static_cast<int>(i);
    return -1;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FileEntry& entry = m_entries[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return display(entry, index.column());
    case Qt::DecorationRole:
        if (index.column() == Name)
            return entry.archive ? m_archive_icon : m_file_icon;
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == Size)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant FileListModel::display(const FileEntry& entry, int column) const {
    switch (column) {
    case Name:
        return entry.name;
    case Size:
        if (entry.size < 0)
            return QString();
        return size_text(m_locale, entry.size);
    case Type:
        return type_text(entry);
    case Modified:
        if (entry.size < 0)
            return QString();
        return m_locale.toString(QDateTime::fromSecsSinceEpoch(entry.modified),
                                 QLocale::ShortFormat);
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return tr("Name");
    case Size:
        return tr("Size");
    case Type:
        return tr("Type");
    case Modified:
        return tr("Date Modified");
    default:
        return {};
    }
}

} // namespace mainwindow
