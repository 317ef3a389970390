#pragma once

// What a run of ours killed at any instant leaves behind, and how it goes again.

#include <ctime>
#include <filesystem>
#include <set>
#include <string>

namespace core {

class Progress;

namespace journal_read {
struct Journal;
}

/// A move to another file system that a kill cut short after its verified copy was put in
/// place and before the original was removed.
enum class HalfMove {
    None,    ///< not that: one of the two is missing, both are one file, or the target was
             ///< there before the run began
    Same,    ///< both there, the same size and bytes: one of them may go
    Differs, ///< both there and they differ: both stay
};
HalfMove half_move(const std::string& from, const std::string& to, std::time_t run_started);

/// True when both files hold the same bytes.
bool same_bytes(const std::filesystem::path& a, const std::filesystem::path& b);

/// Removes from each folder the part files a killed run left there, with a log line per
/// folder that had any.
void remove_part_files(const std::set<std::string>& folders, Progress& progress);

/// Removes what the run recorded in `journal` left that is ours beyond doubt: part files
/// beside its targets, .trashinfo files of the trash places it prepared whose file never
/// moved in, and temporaries the ZIP library writes beside an archive whose member the run
/// renamed ("game.zip.a1b2c3", made since the run began). Another program's files stay,
/// however alike. One log line per kind with the count removed.
void clear_litter(const journal_read::Journal& journal, Progress& progress);

/// True while the run that writes the journal in `journal_file` goes on, in any process.
bool run_going_on(const std::filesystem::path& journal_file);

/// Before a new run: clears what the last run, when it was killed, left (clear_litter) and
/// finishes its moves found at both places (HalfMove::Same: the original goes, as that
/// run meant), each in one log line; a pair that differs is logged and both stay. Leaves
/// the journal alone while its run is still going on in some process, and leaves the
/// journal itself as it is, so that run can still be undone.
void finish_killed_run(const std::filesystem::path& journal_file, Progress& progress);

} // namespace core
