#include "list_files.h"

#include "atomic_file.h"
#include "text.h"

namespace lists {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The entries of a root a filter does not hide, in the order the scan added them.
std::vector<std::string_view> listed(const ResultTree& tree, ResultTree::Root root) {
    std::vector<std::string_view> texts;
    for (std::size_t index : tree.children(root))
        if (tree.node(index).image != Image::None)
            texts.push_back(tree.node(index).text);
    return texts;
}

std::string list_text(std::string header, const std::vector<std::string_view>& texts) {
    header += kLineEnd;
    header += kLineEnd;
    for (auto text : texts) {
        header += text;
        header += kLineEnd;
    }
    return header;
}

std::string counts(std::size_t part, std::size_t total, const ListSource& source,
                   std::string_view note) {
    std::string text = std::to_string(part) + " of " + std::to_string(total) + " known ";
    text += source.long_name;
    text += " ROMs";
    text += note;
    return text;
}

// A system id is read from a database; one with a separator would put the lists outside
// the chosen folder.
bool usable_id(std::string_view id) {
    return id.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::filesystem::path list_file(const std::filesystem::path& folder, std::string_view system_id,
                                std::string_view suffix) {
    return folder / (core::to_lower_ascii(system_id) + std::string(suffix));
}

} // namespace

std::string exclusion_note(const std::vector<Filter>& filters) {
    std::string captions;
    bool any = false;
    for (const auto& filter : filters) {
        if (filter.shown)
            continue;
        if (any)
            captions += ", ";
        captions += filter.caption;
        any = true;
    }
    return any ? " (Excluding: " + captions + ")" : std::string();
}

HaveMissLists make_lists(const ListSource& source) {
    const auto have = listed(source.tree, ResultTree::kMatched);
    const auto missing = listed(source.tree, ResultTree::kMissing);
    const std::size_t total = have.size() + missing.size();
    const std::string note = total < source.scanned ? exclusion_note(source.filters) : "";
    return {list_text(" You have " + counts(have.size(), total, source, note), have),
            list_text(" You are missing " + counts(missing.size(), total, source, note), missing)};
}

std::filesystem::path have_list_file(const std::filesystem::path& folder,
                                     std::string_view system_id) {
    return list_file(folder, system_id, "_have.txt");
}

std::filesystem::path miss_list_file(const std::filesystem::path& folder,
                                     std::string_view system_id) {
    return list_file(folder, system_id, "_miss.txt");
}

core::Status save_lists(const std::filesystem::path& folder, std::string_view system_id,
                        const ListSource& source) {
    // An empty folder would put the lists wherever the program happens to run.
    if (folder.empty())
        return core::Error::bad_input("no folder was chosen for the lists");
    if (!usable_id(system_id))
        return core::Error::bad_input("the system id " + core::quoted(std::string(system_id)) +
                                      " cannot name a list file");
    const auto lists = make_lists(source);
    // The missing list is written even when the have list fails, as each failing step of
    // saving is skipped; the first failure is the one reported.
    auto have = core::write_file_atomically(have_list_file(folder, system_id), lists.have);
    auto missing = core::write_file_atomically(miss_list_file(folder, system_id), lists.missing);
    return have ? missing : have;
}

} // namespace lists
