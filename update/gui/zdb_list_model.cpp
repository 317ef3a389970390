#include "zdb_list_model.h"

namespace update {

ZdbListModel::ZdbListModel(DatabaseList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list) {}

void ZdbListModel::reload() {
    beginResetModel();
    m_columns = m_list.columns();
    m_rows = m_list.rows();
    endResetModel();
}

void ZdbListModel::reload_marks() {
    const auto& rows = m_list.rows();
    for (std::size_t i = 0; i < m_rows.size() && i < rows.size(); ++i)
        m_rows[i].marked = rows[i].marked;
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

QString ZdbListModel::name(int row) const {
    return QString::fromStdString(m_rows.at(static_cast<std::size_t>(row)).name);
}

int ZdbListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ZdbListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

// The last column is the status; the others are the row's fields in the titles' order.
QString ZdbListModel::cell(int row, int column) const {
    const ListRow& r = m_rows[static_cast<std::size_t>(row)];
    const auto c = static_cast<std::size_t>(column);
    if (c + 1 == m_columns.size())
        return QString::fromStdString(r.status);
    return c < r.fields.size() ? QString::fromStdString(r.fields[c]) : QString();
}

QVariant ZdbListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const bool status = index.column() + 1 == columnCount();
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::CheckStateRole:
        if (index.column() != 0)
            return {};
        return m_rows[static_cast<std::size_t>(index.row())].marked ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return status ? QVariant(Qt::AlignCenter) : QVariant();
    default:
        return {};
    }
}

QVariant ZdbListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromStdString(m_columns[static_cast<std::size_t>(section)]);
    if (role == Qt::TextAlignmentRole && section + 1 == columnCount())
        return QVariant(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags ZdbListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // A name that may not become a file, or one listed twice, never carries a mark.
    if (index.column() == 0 && m_rows[static_cast<std::size_t>(index.row())].downloadable)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool ZdbListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0)
        return false;
    const auto row = static_cast<std::size_t>(index.row());
    const bool marked = value.toInt() == Qt::Checked;
    if (!m_list.set_marked(row, marked))
        return false;
    m_rows[row].marked = marked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

} // namespace update
