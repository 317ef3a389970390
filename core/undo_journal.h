#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "batch.h"
#include "member_rename.h"
#include "outcome.h"
#include "posix_io.h"
#include "result.h"
#include "trash.h"

namespace core {

class Progress;
class Zelcore;

/// The undo journal of one run (a rename, a sort, an unsort). Before a batch acts, its
/// items are appended and synced, so after a crash at any instant every file is at its old
/// or its new place and the journal names both. Only the last run is kept: the journal of a
/// new run replaces the previous one when its first batch is recorded, so a run that
/// carries out nothing leaves the previous run undoable.
class UndoJournal {
public:
    /// `file` is usually undo_journal_path(); `description` says what ran ("rename SGENESIS
    /// '/roms/genesis/'") and is shown by undo.
    UndoJournal(std::filesystem::path file, std::string description);
    UndoJournal(const UndoJournal&) = delete;
    UndoJournal& operator=(const UndoJournal&) = delete;

    /// Records the pairs of a move or copy batch before it acts. Paths are stored as full
    /// paths, so undo works from any working folder.
    Status record_pairs(BatchOp op, const std::vector<std::string>& from,
                        const std::vector<std::string>& to);
    /// Records the member renames of a batch before it acts.
    Status record_members(const std::vector<MemberRename>& renames);
    /// Records files whose trash places are prepared, before they move there.
    Status record_trash(const std::vector<TrashedFile>& files);
    /// Records an existing target whose trash place is prepared, before it goes to make
    /// room for the move or copy of the batch recorded last that names it as target.
    Status record_replace(const TrashedFile& file);
    /// Records, after a batch, the pairs it did not carry out, so that undo leaves their
    /// targets alone. Not synced: after a crash undo judges by where the files are.
    Status record_left(const std::vector<std::string>& from, const std::vector<std::string>& to);

private:
    Status start(const std::string& lines);
    Status append(const std::string& lines, bool sync = true);

    std::filesystem::path m_file;
    std::string m_description;
    zelcore::UniqueFd m_fd;
};

/// `undo.journal` in the application home.
std::filesystem::path undo_journal_path();

/// What an undo did. Its summary names the run and counts what was put back; each item
/// that could not be undone is a problem.
struct UndoReport : Outcome {
    std::string description;  ///< what the undone run was
    std::size_t restored = 0; ///< items put back
};

/// Puts back what the run recorded in `file` did, newest first: moved files go back, copies
/// go to the trash, trashed files come back from the trash (a replaced target right after
/// the file that took its place has left), members of archives get their old names back
/// through `zelcore`. A file that is no longer where the run left it, whose old place is
/// taken, or an archive whose member has been named otherwise since, is left alone and
/// reported. Part files that a killed run (or undo) left in the folders the run's files went
/// to or came from are removed, with a log line.
/// Completed: the journal is renamed to "undo.journal.done", so a second undo finds nothing
/// to do. Stopped (Stop is polled between items): the journal keeps only what is still to
/// be undone, so the next undo goes on from there. Refused when there is no journal or its
/// run is still going on (in any process), Failed when it is damaged; none changes a file.
UndoReport undo_last_run(const std::filesystem::path& file, Progress& progress,
                         const Zelcore* zelcore);

} // namespace core
