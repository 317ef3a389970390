#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "filters.h"
#include "result.h"
#include "result_tree.h"

namespace lists {

/// The have list and the missing list of a scan, as text with CR LF line ends.
struct HaveMissLists {
    std::string have;
    std::string missing;
};

/// What the lists are made of besides the tree.
struct ListSource {
    const ResultTree& tree;
    std::size_t scanned = 0;    ///< matched + missing entries of the scan
    std::string_view long_name; ///< the system's long name
    const std::vector<Filter>& filters;
};

/// " (Excluding: Europe, Bad Dumps)": the captions of the filters not shown, in menu
/// order; "" when none is.
std::string exclusion_note(const std::vector<Filter>& filters);

/// Both lists: a header line (" You have H of T known <long name> ROMs" + note, " You are
/// missing M of T ..."), an empty line, then the text of every Matched (Missing) entry a
/// filter does not hide, in the order the scan added them. The note is given only when
/// fewer than `scanned` entries are listed.
HaveMissLists make_lists(const ListSource& source);

/// `folder` + lower-cased id + "_have.txt" / "_miss.txt".
std::filesystem::path have_list_file(const std::filesystem::path& folder,
                                     std::string_view system_id);
std::filesystem::path miss_list_file(const std::filesystem::path& folder,
                                     std::string_view system_id);

/// Writes (replacing) both lists into `folder`, each atomically. An error names the
/// file that could not be written; the other may have been written. An empty folder, or
/// an id holding a separator or NUL, is refused before anything is written.
core::Status save_lists(const std::filesystem::path& folder, std::string_view system_id,
                        const ListSource& source);

} // namespace lists
