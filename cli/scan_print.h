#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "collection_scan.h"
#include "filters.h"
#include "json_output.h"

namespace cli {

/// The three roots, each followed by its entries that no filter hides, one per line
/// indented by two blanks, in the order the collection window shows them. A root counts
/// the entries listed under it, as the saved lists do, and names the filters that hid
/// some. Names are escaped, or with `lines.nul` each line ends with NUL instead.
void print_tree(std::ostream& out, const lists::ScanResult& result,
                const std::vector<lists::Filter>& filters, LineStyle lines);

/// What was scanned and every entry (hidden ones too, marked so) with its state, database
/// name, checksum and file path, as one JSON document.
void print_tree_json(std::ostream& out, const lists::ScanResult& result, const std::string& folder,
                     const std::vector<lists::Filter>& filters);

} // namespace cli
