#pragma once

#include <iosfwd>
#include <string>

#include "collection_scan.h"

namespace cli {

/// The three root texts, each followed by its entries that no filter hides, one per line
/// indented by two blanks, in the order the collection window shows them.
void print_tree(std::ostream& out, const lists::ScanResult& result);

/// The whole tree (hidden entries too, with an empty image) and what was scanned, as one
/// JSON document.
void print_tree_json(std::ostream& out, const lists::ScanResult& result, const std::string& folder);

} // namespace cli
