#include "plan_model.h"

#include <algorithm>

namespace renaming {
namespace {

QString action_text(core::BatchOp op) {
    switch (op) {
    case core::BatchOp::Move:
        return QStringLiteral("Move");
    case core::BatchOp::Copy:
        return QStringLiteral("Copy");
    case core::BatchOp::Delete:
        return QStringLiteral("To trash");
    case core::BatchOp::RenameMember:
        return QStringLiteral("Rename member");
    }
    return {};
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

void PlanModel::set_plan(std::shared_ptr<const RenamePlan> plan) {
    beginResetModel();
    m_plan = std::move(plan);
    m_starts.clear();
    m_rows = 0;
    if (m_plan) {
        m_rows = m_plan->folders_to_make.size();
        for (const auto& batch : m_plan->batches) {
            m_starts.push_back(m_rows);
            m_rows += batch.from.size();
        }
    }
    endResetModel();
}

int PlanModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows);
}

int PlanModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant PlanModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        static_cast<std::size_t>(index.row()) >= m_rows)
        return {};
    return cell(static_cast<std::size_t>(index.row()), index.column());
}

QString PlanModel::cell(std::size_t row, int column) const {
    const auto& folders = m_plan->folders_to_make;
    if (row < folders.size())
        return column == kAction ? QStringLiteral("Make folder")
               : column == kFrom ? text(folders[row])
                                 : QString();
    // The batch holding the row: the last one starting at or before it.
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), row) - 1;
    const core::Batch& batch = m_plan->batches[static_cast<std::size_t>(it - m_starts.begin())];
    const std::size_t item = row - *it;
    switch (column) {
    case kAction:
        return action_text(batch.op);
    case kFrom:
        return text(batch.from[item]);
    case kTo:
        return item < batch.to.size() ? text(batch.to[item]) : QString();
    default:
        return {};
    }
}

QVariant PlanModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case kAction:
        return QStringLiteral("Action");
    case kFrom:
        return QStringLiteral("File");
    case kTo:
        return QStringLiteral("Becomes");
    default:
        return {};
    }
}

void ProblemsModel::set_problems(core::Problems problems) {
    beginResetModel();
    m_problems = std::move(problems);
    endResetModel();
}

int ProblemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_problems.size());
}

int ProblemsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ProblemsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        static_cast<std::size_t>(index.row()) >= m_problems.size())
        return {};
    const core::Problem& p = m_problems[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case kPath:
        return text(p.path);
    case kWhat:
        return text(p.what);
    case kWhy:
        return text(p.why);
    default:
        return {};
    }
}

QVariant ProblemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case kPath:
        return QStringLiteral("Path");
    case kWhat:
        return QStringLiteral("Not done");
    case kWhy:
        return QStringLiteral("Reason");
    default:
        return {};
    }
}

} // namespace renaming
