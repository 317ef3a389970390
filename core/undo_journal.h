#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "batch.h"
#include "posix_io.h"
#include "result.h"
#include "trash.h"

namespace core {

class Progress;

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

    /// Records the pairs of a move or copy batch before it acts.
    Status record_pairs(BatchOp op, const std::vector<std::string>& from,
                        const std::vector<std::string>& to);
    /// Records files whose trash places are prepared, before they move there.
    Status record_trash(const std::vector<TrashedFile>& files);

private:
    Status start();
    Status append(const std::string& lines);

    std::filesystem::path m_file;
    std::string m_description;
    zelcore::UniqueFd m_fd;
};

/// `undo.journal` in the application home.
std::filesystem::path undo_journal_path();

struct UndoReport {
    std::string description;           ///< what the undone run was
    std::size_t restored = 0;          ///< items put back
    std::vector<std::string> problems; ///< one line per item that could not be undone
};

/// Puts back what the run recorded in `file` did: moved files go back and copies go to the
/// trash (newest first), then trashed files come back from the trash. A file that is no
/// longer where the run left it, or whose old place is taken, is left alone and reported.
/// The journal is then renamed to "undo.journal.done", so a second undo finds nothing to
/// do. A missing, undone or damaged journal is an error and changes no file.
Result<UndoReport> undo_last_run(const std::filesystem::path& file, Progress& progress);

} // namespace core
