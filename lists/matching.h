#pragma once

#include "collection_scan.h"
#include "zdb.h"

namespace core {
class Progress;
}

namespace lists {

/// Sorts the records for matching: by checksum in checksum mode, by name in filename
/// mode, in both without regard to ASCII letter case. Stable.
void sort_records(ScanRecords& records, MatchBy by);

/// Marks every database entry that a record stands for (done = -1) and every record that
/// stands for an entry (done = true). Checksum mode compares the checksum texts exactly and
/// makes one pass per checksum of the database (`passes`, 1 or 2): the second matches the
/// records against the entries' second checksums. Filename mode compares lower-cased names
/// in one pass. `roms` ends sorted by the key of the last pass; `records` must come sorted
/// by sort_records. Marks of an earlier pass stay.
void match_collection(core::RomTable& roms, ScanRecords& records, MatchBy by, int passes,
                      core::Progress& progress);

/// Fills the tree and counts of `result` from the marked entries (in the order of `roms`)
/// and, when `list_unrecognized`, from the records left unmarked.
void build_result(ScanResult& result, const core::RomTable& roms, bool list_unrecognized,
                  core::Progress& progress);

} // namespace lists
