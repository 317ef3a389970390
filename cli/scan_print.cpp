#include "scan_print.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace cli {
namespace {

using lists::ResultTree;

constexpr ResultTree::Root kRoots[] = {ResultTree::kMatched, ResultTree::kMissing,
                                       ResultTree::kUnrecognized};

nlohmann::ordered_json node_json(const ResultTree::Node& node) {
    return {{"key", node.key}, {"text", node.text}, {"image", lists::image_key(node.image)}};
}

std::size_t count_of(const lists::ScanResult& result, ResultTree::Root root) {
    switch (root) {
    case ResultTree::kMatched:
        return result.matched;
    case ResultTree::kMissing:
        return result.missing;
    case ResultTree::kUnrecognized:
        break;
    }
    return result.unrecognized;
}

// Every file the scan left out, with its reason: unreadable files and symbolic links.
std::vector<std::string> problem_texts(const core::Problems& problems) {
    std::vector<std::string> texts;
    for (const auto& problem : problems)
        texts.push_back(problem.text());
    return texts;
}

} // namespace

void print_tree(std::ostream& out, const lists::ScanResult& result) {
    const ResultTree& tree = result.tree;
    for (auto root : kRoots) {
        out << tree.root(root).text << '\n';
        for (auto i : tree.shown_children(root))
            if (tree.node(i).image != lists::Image::None)
                out << "  " << tree.node(i).text << '\n';
    }
}

void print_tree_json(std::ostream& out, const lists::ScanResult& result,
                     const std::string& folder) {
    const ResultTree& tree = result.tree;
    nlohmann::ordered_json roots = nlohmann::ordered_json::array();
    for (auto root : kRoots) {
        nlohmann::ordered_json node = node_json(tree.root(root));
        node["count"] = count_of(result, root);
        nlohmann::ordered_json children = nlohmann::ordered_json::array();
        for (auto i : tree.shown_children(root))
            children.push_back(node_json(tree.node(i)));
        node["children"] = std::move(children);
        roots.push_back(std::move(node));
    }
    nlohmann::ordered_json doc = {
        {"system", result.system_id},
        {"long_name", result.long_name},
        {"folder", folder},
        {"match_by", result.by == lists::MatchBy::Checksum ? "checksum" : "filename"},
        {"roots", std::move(roots)},
        {"unreadable", problem_texts(result.outcome.problems)},
    };
    // Names that are not valid UTF-8 are shown with U+FFFD rather than ending the output.
    out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

} // namespace cli
