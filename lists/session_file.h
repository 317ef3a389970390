#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "result.h"
#include "scan_record.h"

namespace lists {

/// A session file (".rcl") holds one line per scanned file: 8 checksum characters, a
/// blank, the base name. No header, no version mark. Lines end in CR LF; the text is
/// UTF-8, and a line that is not valid UTF-8 is read as Windows-1252.

/// The record of one line: the first 8 characters become `crc`, the text from the 10th
/// character on becomes `path`; the 9th is skipped whatever it is. A line shorter than
/// 10 characters gives an empty path; one shorter than 8 a shorter crc.
ScanRecord session_record(std::string_view line);

/// The line of one record (without the line end): the crc left-padded with "0" to 8
/// characters ("00000000" for none), a blank, the base name of `path` for a found file or
/// the stored name unchanged for a record that came from a session file. A line feed in
/// the name is written as "?", so that the line stays one line.
std::string session_line(const ScanRecord& record);

/// Every record of a session file, in file order; a leading byte-order mark is skipped and
/// LF ends a line as CR LF does. A file that does not exist gives none; one that cannot be
/// read or is larger than 256 MiB is an error naming it.
core::Result<ScanRecords> read_session(const std::filesystem::path& file);

/// Writes (replacing) a session file with one line per record, atomically.
core::Status write_session(const std::filesystem::path& file, const ScanRecords& records);

} // namespace lists
