#include "result_model.h"

#include "text.h"

namespace lists {
namespace {

// Children carry their root's number in the index; roots carry this.
constexpr quintptr kRootId = ResultTree::kRootCount;

std::string folded_needle(const QString& text) {
    return core::fold_case(text.toStdString());
}

} // namespace

TreeOrder order_of(const ResultTree& tree) {
    TreeOrder order;
    for (std::size_t root = 0; root < ResultTree::kRootCount; ++root)
        order.shown[root] = tree.shown_children(static_cast<ResultTree::Root>(root));
    order.folded.reserve(tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i)
        order.folded.push_back(core::fold_case(tree.node(i).text));
    return order;
}

QIcon tree_image(std::string_view key) {
    return QIcon(QStringLiteral(":/tree/%1.svg").arg(QString::fromUtf8(key.data(), key.size())));
}

ResultModel::ResultModel(QObject* parent) : QAbstractItemModel(parent) {
    for (std::size_t i = 1; i < m_icons.size(); ++i)
        m_icons[i] = tree_image(image_key(static_cast<Image>(i)));
}

void ResultModel::set_tree(const ResultTree* tree, TreeOrder order) {
    beginResetModel();
    m_tree = tree;
    m_order = tree != nullptr ? std::move(order) : TreeOrder{};
    select_rows();
    endResetModel();
    emit counts_changed();
}

void ResultModel::set_search(const QString& text) {
    if (text == m_search)
        return;
    beginResetModel();
    m_search = text;
    select_rows();
    endResetModel();
    emit counts_changed();
}

// Without a search the rows are the shown order itself; with one, the entries that hold it.
void ResultModel::select_rows() {
    const std::string needle = folded_needle(m_search);
    for (std::size_t root = 0; root < ResultTree::kRootCount; ++root) {
        auto& rows = m_rows[root];
        const auto& all = m_order.shown[root];
        if (needle.empty()) {
            rows = all;
            continue;
        }
        rows.clear();
        for (std::size_t node : all)
            if (m_order.folded[node].find(needle) != std::string::npos)
                rows.push_back(node);
    }
}

void ResultModel::images_changed() {
    for (int root = 0; root < static_cast<int>(ResultTree::kRootCount); ++root) {
        const int rows = static_cast<int>(m_rows[root].size());
        if (rows > 0) {
            const QModelIndex parent = index(root, 0);
            emit dataChanged(index(0, 0, parent), index(rows - 1, 0, parent), {Qt::DecorationRole});
        }
    }
}

std::size_t ResultModel::node_of(const QModelIndex& index) const {
    if (index.internalId() == kRootId)
        return static_cast<std::size_t>(index.row());
    return m_rows[index.internalId()][static_cast<std::size_t>(index.row())];
}

QIcon ResultModel::icon(Image image) const {
    return m_icons[static_cast<std::size_t>(image)];
}

QModelIndex ResultModel::index(int row, int column, const QModelIndex& parent) const {
    if (m_tree == nullptr || row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return row < static_cast<int>(ResultTree::kRootCount) ? createIndex(row, 0, kRootId)
                                                              : QModelIndex();
    if (parent.internalId() != kRootId || row >= rowCount(parent))
        return {};
    return createIndex(row, 0, static_cast<quintptr>(parent.row()));
}

QModelIndex ResultModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kRootId)
        return {};
    return createIndex(static_cast<int>(child.internalId()), 0, kRootId);
}

int ResultModel::rowCount(const QModelIndex& parent) const {
    if (m_tree == nullptr)
        return 0;
    if (!parent.isValid())
        return static_cast<int>(ResultTree::kRootCount);
    if (parent.internalId() != kRootId)
        return 0;
    return static_cast<int>(m_rows[static_cast<std::size_t>(parent.row())].size());
}

int ResultModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (m_tree == nullptr || !index.isValid())
        return {};
    const auto& node = m_tree->node(node_of(index));
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromStdString(node.text);
    if (role == Qt::DecorationRole && node.image != Image::None)
        return icon(node.image);
    return {};
}

} // namespace lists
