#include "scan_print.h"

#include <ostream>
#include <unordered_map>

#include "list_files.h"
#include "text.h"

namespace cli {
namespace {

using lists::ResultTree;

constexpr ResultTree::Root kRoots[] = {ResultTree::kMatched, ResultTree::kMissing,
                                       ResultTree::kUnrecognized};
constexpr const char* kLabels[] = {"Matched", "Missing", "Unrecognized"};
constexpr const char* kStates[] = {"matched", "missing", "unrecognized"};

bool hidden(const ResultTree::Node& node) {
    return node.image == lists::Image::None;
}

/// The found files of a scan by what an entry knows of them: a matched entry by its
/// checksum (or, matching by file name, its lower-case name), an unrecognized one by path.
class FoundFiles {
public:
    explicit FoundFiles(const lists::ScanResult& result)
        : m_by(result.by), m_second_crcs(result.second_crcs) {
        for (const auto& r : result.records) {
            if (r.done)
                m_matched.emplace(
                    m_by == lists::MatchBy::Checksum ? r.crc : core::to_lower_ascii(r.name), &r);
            else
                m_unrecognized.emplace(r.path, &r);
        }
    }
    /// The file that matched the entry by its first checksum, else by its second.
    const lists::ScanRecord* matched(const ResultTree::Node& entry, const std::string& crc) const {
        if (m_by == lists::MatchBy::Filename)
            return find(m_matched, core::to_lower_ascii(entry.text));
        if (const auto* record = find(m_matched, crc))
            return record;
        auto second = m_second_crcs.find(entry.key);
        return second == m_second_crcs.end() ? nullptr : find(m_matched, second->second);
    }
    const lists::ScanRecord* unrecognized(const std::string& path) const {
        return find(m_unrecognized, path);
    }

private:
    using Index = std::unordered_map<std::string, const lists::ScanRecord*>;
    static const lists::ScanRecord* find(const Index& index, const std::string& key) {
        auto it = index.find(key);
        return it == index.end() ? nullptr : it->second;
    }

    lists::MatchBy m_by;
    const std::unordered_map<std::string, std::string>& m_second_crcs;
    Index m_matched, m_unrecognized;
};

// A database entry's key is "id_" + name + its 8-letter checksum (+ " #2" when taken).
std::string crc_of_entry(const ResultTree::Node& node) {
    const std::size_t at = 3 + node.text.size();
    return node.key.size() >= at + 8 ? node.key.substr(at, 8) : std::string();
}

Json entry_json(const ResultTree::Node& node, std::size_t root, const FoundFiles& found) {
    Json entry = {{"state", kStates[root]}};
    if (root == ResultTree::kUnrecognized) {
        const auto* record = found.unrecognized(node.text);
        entry["name"] = nullptr;
        entry["crc"] = text_or_null(record ? record->crc : std::string());
        entry["path"] = node.text;
    } else {
        const std::string crc = crc_of_entry(node);
        const auto* record = root == ResultTree::kMatched ? found.matched(node, crc) : nullptr;
        entry["name"] = node.text;
        entry["crc"] = text_or_null(crc);
        entry["path"] = text_or_null(record ? record->path : std::string());
    }
    entry["hidden"] = hidden(node);
    return entry;
}

// Every file the scan left out, with its reason: unreadable files and symbolic links.
Json problem_texts(const core::Problems& problems) {
    Json texts = Json::array();
    for (const auto& problem : problems)
        texts.push_back(problem.text());
    return texts;
}

Json excluded(const std::vector<lists::Filter>& filters) {
    Json captions = Json::array();
    for (const auto& filter : filters)
        if (!filter.shown)
            captions.push_back(filter.caption);
    return captions;
}

} // namespace

void print_tree(std::ostream& out, const lists::ScanResult& result,
                const std::vector<lists::Filter>& filters, LineStyle lines) {
    const ResultTree& tree = result.tree;
    for (auto root : kRoots) {
        std::vector<std::size_t> listed;
        for (auto i : tree.shown_children(root))
            if (!hidden(tree.node(i)))
                listed.push_back(i);
        const bool some_hidden = listed.size() < tree.children(root).size();
        out << lists::root_text(kLabels[root], listed.size())
            << (some_hidden ? lists::exclusion_note(filters) : "") << lines.end();
        for (auto i : listed)
            out << "  " << lines.name(tree.node(i).text) << lines.end();
    }
}

void print_tree_json(std::ostream& out, const lists::ScanResult& result, const std::string& folder,
                     const std::vector<lists::Filter>& filters) {
    const ResultTree& tree = result.tree;
    const FoundFiles found(result);
    Json entries = Json::array();
    for (auto root : kRoots)
        for (auto i : tree.shown_children(root))
            entries.push_back(entry_json(tree.node(i), root, found));
    print_json(out,
               {
                   {"system", result.system_id},
                   {"long_name", result.long_name},
                   {"folder", folder},
                   {"match_by", result.by == lists::MatchBy::Checksum ? "checksum" : "filename"},
                   {"excluding", excluded(filters)},
                   {"matched", result.matched},
                   {"missing", result.missing},
                   {"unrecognized", result.unrecognized},
                   {"entries", std::move(entries)},
                   {"unreadable", problem_texts(result.outcome.problems)},
               });
}

} // namespace cli
