#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <memory>
#include <vector>

#include "outcome.h"
#include "rename_engine.h"

namespace renaming {

/// A run's plan as a table, one row per item in the order it is carried out: the folders
/// to make, then each batch's items ("Move", "Copy", "To trash", "Rename member"), with
/// the item's path and where it goes. Reads the plan in place, so a plan of 100,000 items
/// costs one offset per batch.
class PlanModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kAction, kFrom, kTo, kColumns };

    using QAbstractTableModel::QAbstractTableModel;
    void set_plan(std::shared_ptr<const RenamePlan> plan);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString cell(std::size_t row, int column) const;

    std::shared_ptr<const RenamePlan> m_plan;
    std::vector<std::size_t> m_starts; ///< the first row of each batch
    std::size_t m_rows = 0;
};

/// A run's problems as a table: the path, what was not done and why.
class ProblemsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kPath, kWhat, kWhy, kColumns };

    using QAbstractTableModel::QAbstractTableModel;
    void set_problems(core::Problems problems);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    core::Problems m_problems;
};

} // namespace renaming
