#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lists {

/// The images of the result tree. None (image 0) is the mark of an entry a filter hides.
enum class Image { None = 0, Folder, Rename, Lists, Red, Yellow, Green };

/// The image list's key of an image ("green"); "" for None.
std::string_view image_key(Image image);

/// What a collection scan found, as the collection window shows it: three roots (Matched,
/// Missing, Unrecognized) and their entries. A plain model: a window shows it as it is.
///
/// Entries keep the order in which they were added; that is the order of the saved lists.
/// Once keep_sorted() is set, a window shows each root's entries by text without regard
/// to letter case (shown_children()).
class ResultTree {
public:
    enum Root : std::size_t { kMatched = 0, kMissing = 1, kUnrecognized = 2 };
    static constexpr std::size_t kRootCount = 3;
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);

    struct Node {
        std::string key;
        std::string text;
        Image image = Image::None;
        std::size_t parent = kNoParent; ///< the root's index; kNoParent for a root
    };

    /// The three roots: "KEY_MATCH" "Matched" green, "KEY_MISSING" "Missing" red,
    /// "KEY_UNRECOGNIZED" "Unrecognized" yellow.
    ResultTree();
    ResultTree(ResultTree&&) noexcept = default;
    ResultTree& operator=(ResultTree&&) noexcept = default;

    /// Adds an entry with its root's image. False, and nothing added, when `key` is taken.
    bool add(Root root, std::string key, std::string text);
    /// Adds an entry under `key`, or under `key` + " #2", " #3" ... when that is taken.
    /// Gives the key used.
    const std::string& add_unique(Root root, std::string key, std::string text);

    /// Room for this many entries more, so a large scan does not grow the key set in steps.
    void reserve(std::size_t entries) { m_keys.reserve(m_nodes.size() + entries); }

    /// Every node, roots first (indices 0 to 2), then entries in the order added.
    std::size_t size() const { return m_nodes.size(); }
    const Node& node(std::size_t index) const { return m_nodes[index]; }
    const Node& root(Root root) const { return m_nodes[root]; }
    std::optional<std::size_t> find(std::string_view key) const;

    /// The entries of a root in the order added.
    const std::vector<std::size_t>& children(Root root) const { return m_children[root]; }
    /// The entries of a root in the order a window shows them.
    std::vector<std::size_t> shown_children(Root root) const;

    void set_text(std::size_t index, std::string text) { m_nodes[index].text = std::move(text); }
    void set_image(std::size_t index, Image image) { m_nodes[index].image = image; }

    /// From now on the roots show their entries sorted by text.
    void keep_sorted() { m_sorted = true; }
    bool keeps_sorted() const { return m_sorted; }

    /// The image a root's entries show when no filter hides them.
    static Image root_image(Root root);
    static bool is_root(std::size_t index) { return index < kRootCount; }

private:
    std::size_t push(Root root, std::string key, std::string text);

    std::deque<Node> m_nodes; ///< a deque: the key set below points into the nodes
    std::unordered_map<std::string_view, std::size_t> m_keys; ///< key to node index
    std::vector<std::size_t> m_children[kRootCount];
    bool m_sorted = false;
};

/// "Matched: 1,234 ROMs": the count with thousands separators, "s" unless the count is 1.
std::string root_text(std::string_view label, std::size_t count);

/// The count as the pattern "#,##0" shows it: "1,234".
std::string with_thousands(std::size_t count);

} // namespace lists
