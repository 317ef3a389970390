#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace sorting {

/// One category rule: a file whose name contains `match` (without regard to case) goes into
/// `subfolder` of the folder being sorted. Both texts are kept exactly as typed.
struct SortRule {
    std::string match;
    std::string subfolder;

    bool operator==(const SortRule&) const = default;
};

/// The rules of a rule file that apply to `system_id`: those of the sections "all" and
/// `system_id` (both exact, case-sensitive), in the order their match texts first appear.
/// A match text defined again takes the later sub-folder but keeps its first place.
/// Lines end in LF, CR LF or a lone CR; blanks around a line are dropped; "//" starts a
/// comment line; a rule line splits at its first ":" and keeps the blanks beside it.
/// Any bytes are accepted: the texts are only compared, never interpreted.
std::vector<SortRule> read_sort_rules(std::string_view text, std::string_view system_id);

/// The same from a file, a leading byte-order mark skipped; a file that cannot be read or
/// is larger than 1 MiB is an error that names it.
core::Result<std::vector<SortRule>> load_sort_rules(const std::filesystem::path& file,
                                                    std::string_view system_id);

/// The first rule whose match text occurs in `file_name` without regard to case, or null.
const SortRule* first_matching_rule(const std::vector<SortRule>& rules, std::string_view file_name);

/// The folder a rule sends files to, with a trailing separator: `current_folder` followed
/// by the rule's sub-folder, whose parts may be separated by "\" or "/" (rule files travel
/// between platforms). An empty sub-folder names `current_folder` itself. Refused with a
/// readable reason when the sub-folder would lead outside `current_folder` (it starts at
/// the root or holds a ".." part) or holds a NUL character, which no file name can hold.
core::Result<std::string> rule_target_folder(std::string_view current_folder, const SortRule& rule);

} // namespace sorting
