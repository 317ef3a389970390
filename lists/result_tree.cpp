#include "result_tree.h"

#include <algorithm>

#include "text.h"

namespace lists {

std::string_view image_key(Image image) {
    switch (image) {
    case Image::Folder:
        return "folder";
    case Image::Rename:
        return "rename";
    case Image::Lists:
        return "lists";
    case Image::Red:
        return "red";
    case Image::Yellow:
        return "yellow";
    case Image::Green:
        return "green";
    case Image::None:
        break;
    }
    return "";
}

ResultTree::ResultTree() {
    m_nodes.push_back({"KEY_MATCH", "Matched", Image::Green, kNoParent});
    m_nodes.push_back({"KEY_MISSING", "Missing", Image::Red, kNoParent});
    m_nodes.push_back({"KEY_UNRECOGNIZED", "Unrecognized", Image::Yellow, kNoParent});
    for (std::size_t i = 0; i < m_nodes.size(); ++i)
        m_keys.emplace(m_nodes[i].key, i);
}

Image ResultTree::root_image(Root root) {
    static constexpr Image kImages[kRootCount] = {Image::Green, Image::Red, Image::Yellow};
    return kImages[root];
}

std::size_t ResultTree::push(Root root, std::string key, std::string text) {
    std::size_t index = m_nodes.size();
    m_nodes.push_back({std::move(key), std::move(text), root_image(root), root});
    m_keys.emplace(m_nodes.back().key, index);
    m_children[root].push_back(index);
    return index;
}

bool ResultTree::add(Root root, std::string key, std::string text) {
    if (m_keys.contains(key))
        return false;
    push(root, std::move(key), std::move(text));
    return true;
}

const std::string& ResultTree::add_unique(Root root, std::string key, std::string text) {
    if (m_keys.contains(key)) {
        std::string base = std::move(key);
        for (std::size_t n = 2;; ++n) {
            key = base + " #" + std::to_string(n);
            if (!m_keys.contains(key))
                break;
        }
    }
    return m_nodes[push(root, std::move(key), std::move(text))].key;
}

std::optional<std::size_t> ResultTree::find(std::string_view key) const {
    auto it = m_keys.find(key);
    if (it == m_keys.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::size_t> ResultTree::shown_children(Root root) const {
    const auto& children = m_children[root];
    if (!m_sorted)
        return children;
    // Each text is folded once; folded texts compare byte by byte as compare_lower would.
    std::vector<std::pair<std::string, std::size_t>> keyed;
    keyed.reserve(children.size());
    for (auto index : children)
        keyed.emplace_back(core::fold_case(m_nodes[index].text), index);
    std::sort(keyed.begin(), keyed.end()); // equal texts keep the order added
    std::vector<std::size_t> order;
    order.reserve(keyed.size());
    for (const auto& entry : keyed)
        order.push_back(entry.second);
    return order;
}

std::string with_thousands(std::size_t count) {
    std::string digits = std::to_string(count);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string root_text(std::string_view label, std::size_t count) {
    return std::string(label) + ": " + with_thousands(count) + " ROM" + (count == 1 ? "" : "s");
}

} // namespace lists
