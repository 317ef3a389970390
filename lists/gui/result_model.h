#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "result_tree.h"

namespace lists {

/// What the model needs of a tree besides the tree: each root's entries in the order shown
/// and every node's text folded for the search. Worked out on the worker thread that built
/// the tree, so that showing 200,000 entries costs the window nothing.
struct TreeOrder {
    std::array<std::vector<std::size_t>, ResultTree::kRootCount> shown;
    std::vector<std::string> folded; ///< by node index
};
TreeOrder order_of(const ResultTree& tree);

/// The result tree as a view shows it: the three roots with their texts and images, and
/// under each the entries that the search text leaves (all of them without one). One row
/// per entry, made only when the view asks for it. The tree belongs to the window; the
/// model reads it and is told when it changes. UI thread only.
class ResultModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit ResultModel(QObject* parent = nullptr);

    /// Shows `tree` (null: nothing) in `order`; the search text stays.
    void set_tree(const ResultTree* tree, TreeOrder order);
    /// The entries whose text holds `text`, without regard to letter case; "" shows all.
    void set_search(const QString& text);
    const QString& search() const { return m_search; }
    /// The images of the entries changed (a filter was clicked).
    void images_changed();

    /// The entries of a root shown now, and all of them.
    std::size_t shown_count(ResultTree::Root root) const { return m_rows[root].size(); }
    std::size_t total_count(ResultTree::Root root) const { return m_order.shown[root].size(); }
    /// The tree's node of an index.
    std::size_t node_of(const QModelIndex& index) const;
    /// The icon of an image; a null icon for Image::None.
    QIcon icon(Image image) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

signals:
    void counts_changed();

private:
    void select_rows();

    const ResultTree* m_tree = nullptr;
    TreeOrder m_order;
    std::array<std::vector<std::size_t>, ResultTree::kRootCount> m_rows;
    QString m_search;
    std::array<QIcon, 7> m_icons;
};

/// The image list's picture of an image key ("green"), from the program's resources.
QIcon tree_image(std::string_view key);

} // namespace lists
