#pragma once

#include <vector>

#include "filters.h"
#include "result_tree.h"

namespace lists {

/// Gives every entry its root's image, then the exclusion mark (Image::None) to each whose
/// text a filter that is not shown hides. Roots are left alone.
void mark_tree(ResultTree& tree, const std::vector<Filter>& filters);

/// "Show All": every filter shown again and every entry its root's image.
void show_all_entries(ResultTree& tree, std::vector<Filter>& filters);

} // namespace lists
