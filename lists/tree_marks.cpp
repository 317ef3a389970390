#include "tree_marks.h"

namespace lists {

void mark_tree(ResultTree& tree, const std::vector<Filter>& filters) {
    for (std::size_t i = ResultTree::kRootCount; i < tree.size(); ++i) {
        const auto& node = tree.node(i);
        bool hidden = hidden_by_filters(node.text, filters);
        tree.set_image(i, hidden
                              ? Image::None
                              : ResultTree::root_image(static_cast<ResultTree::Root>(node.parent)));
    }
}

void show_all_entries(ResultTree& tree, std::vector<Filter>& filters) {
    show_all(filters);
    mark_tree(tree, filters);
}

} // namespace lists
