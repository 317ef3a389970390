#pragma once

// The undo journal read back: what undo walks, and what a later run looks through for the
// litter of a killed one.

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"
#include "trash.h"

namespace core::journal_read {

enum class Kind { Run, Move, Copy, Trash, Replace, Left, Member };

struct Entry {
    Kind kind = Kind::Run;
    std::vector<std::string> fields;

    TrashedFile trashed() const { return {fields[0], fields[1], fields[2]}; }
};

struct Journal {
    Entry run; ///< the description and the time of the run
    std::vector<Entry> entries;
    /// When the run began, to the second; 0 when its time cannot be read.
    std::time_t started() const;
};

/// The journal in `file`: NotFound when there is none, BadInput naming the first damaged
/// line. A last line without its line feed was being written when the run ended and is
/// left out.
Result<Journal> read_journal(const std::filesystem::path& file);
/// The same from the journal's text; `file` only names it in messages.
Result<Journal> parse_journal(const std::string& text, const std::filesystem::path& file);

/// One entry in the journal's own form, line feed included.
std::string entry_line(const Entry& entry);

} // namespace core::journal_read
