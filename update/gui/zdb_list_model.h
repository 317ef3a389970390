#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "database_list.h"

namespace update {

/// `ListView1`: one row per database of the server's list, the list's titles and "Status"
/// as columns, a check box before the name of each database that may be downloaded.
///
/// The rows shown are a copy taken by reload(), so that a worker may refresh or update the
/// list meanwhile (the window disables the view while it does). A check mark goes to the
/// list itself, which decides whether the row may carry one. UI thread only.
class ZdbListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ZdbListModel(DatabaseList& list, QObject* parent = nullptr);

    /// Takes the list's columns and rows again. Only while no run uses the list.
    void reload();
    /// Takes the list's marks again (after Uncheck All).
    void reload_marks();
    /// The database name of a row.
    QString name(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    QString cell(int row, int column) const;

    DatabaseList& m_list;
    std::vector<std::string> m_columns;
    std::vector<ListRow> m_rows;
};

} // namespace update
