// Undo: reads the journal back and puts each file where it was, newest first.

#include "undo_journal.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file.h"
#include "file_move.h"
#include "member_rename.h"
#include "progress.h"
#include "run_litter.h"
#include "text.h"
#include "undo_journal_format.h"
#include "undo_journal_read.h"
#include "zelcore_library.h"

namespace core {

using journal_format::kFormatLine;
using journal_read::Entry;
using journal_read::entry_line;
using journal_read::Journal;
using journal_read::Kind;

namespace {

namespace fs = std::filesystem;

struct FileTimes {
    off_t size = -1;
    struct timespec mtime {};
};

FileTimes times_of(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return {st.st_size, st.st_mtim};
}

bool same_content_stamp(const fs::path& a, const fs::path& b) {
    auto x = times_of(a), y = times_of(b);
    return x.size >= 0 && x.size == y.size && x.mtime.tv_sec == y.mtime.tv_sec &&
           x.mtime.tv_nsec == y.mtime.tv_nsec;
}

// Two files, not one reached by two names: removing one leaves the other.
bool second_file(const fs::path& a, const fs::path& b) {
    struct stat x {
    }, y{};
    return ::lstat(a.c_str(), &x) == 0 && ::lstat(b.c_str(), &y) == 0 &&
           (x.st_dev != y.st_dev || x.st_ino != y.st_ino);
}

std::string q(const std::string& path) {
    return quoted(fs::path(path));
}

// The trash names a replaced target in normal form; the pair as the batch spelled it.
std::string normal(const std::string& path) {
    return fs::path(path).lexically_normal().string();
}

/// Walks the journal newest first. A replaced target waits until the file that took its
/// place has gone back; pairs the run left alone are passed over. Stopped, it keeps what
/// is still to be undone.
class Undoer {
public:
    Undoer(UndoReport& report, Progress& progress, const Zelcore* zelcore, std::time_t started)
        : m_report(report), m_progress(progress), m_zelcore(zelcore), m_started(started) {}

    /// False when Stop came first; rest() then holds the entries still to be undone.
    bool run(const std::vector<Entry>& entries) {
        for (std::size_t i = entries.size(); i-- > 0;) {
            m_progress.step(entries.size() - i, entries.size());
            if (m_progress.stop_requested() || !apply(entries[i])) {
                keep_rest(entries, i);
                return false;
            }
        }
        for (const auto& [place, file] : m_replaced) // their movers never came back
            untrash(file);
        return true;
    }

    const std::vector<Entry>& rest() const { return m_rest; }
    /// The folders that files of the run went into or came from.
    const std::set<std::string>& folders() const { return m_folders; }

private:
    // False when Stop came in the middle of the item, which then stays as it was.
    bool apply(const Entry& e) {
        switch (e.kind) {
        case Kind::Left:
            m_left.emplace(e.fields[0], e.fields[1]);
            break;
        case Kind::Replace:
            m_replaced.emplace(normal(e.fields[0]), e.trashed());
            break;
        case Kind::Trash:
            untrash(e.trashed());
            break;
        case Kind::Move:
        case Kind::Copy:
            return undo_pair(e);
        case Kind::Member:
            member_back(e.fields[0], e.fields[1], e.fields[2]);
            break;
        case Kind::Run:
            break;
        }
        return true;
    }

    // The entries up to the one Stop came at, then the marks of pairs still to come.
    void keep_rest(const std::vector<Entry>& entries, std::size_t last) {
        m_rest.assign(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        for (const auto& [from, to] : m_left)
            m_rest.push_back({Kind::Left, {from, to}});
        for (const auto& [place, f] : m_replaced)
            m_rest.push_back({Kind::Replace, {f.original, f.trashed, f.info}});
    }

    bool undo_pair(const Entry& e) {
        const std::string &from = e.fields[0], &to = e.fields[1];
        m_folders.insert(fs::path(from).parent_path().string());
        m_folders.insert(fs::path(to).parent_path().string());
        if (auto left = m_left.find({from, to}); left != m_left.end())
            m_left.erase(left);
        else if (e.kind == Kind::Copy)
            remove_copy(from, to);
        else if (!move_back(from, to))
            return false;
        auto [first, last] = m_replaced.equal_range(normal(to));
        for (auto it = first; it != last; ++it)
            untrash(it->second);
        m_replaced.erase(first, last);
        return true;
    }

    bool move_back(const std::string& from, const std::string& to) {
        if (path_taken(from)) {
            // Still there: never moved, unless only the letter case changed on a file
            // system that ignores it, or the run was killed after the file was in place
            // and before its old name was removed.
            if (from != to && iequals(from, to) && same_file(from, to)) {
                if (::rename(to.c_str(), from.c_str()) == 0)
                    ++m_report.restored;
                else
                    problem({to, "Could not move " + q(to) + " back to " + q(from),
                             std::strerror(errno)});
            } else {
                remove_second_copy(from, to);
            }
            return true;
        }
        if (!path_taken(to)) {
            problem({to, "Could not undo", q(to) + " is gone."});
            return true;
        }
        std::error_code ec;
        fs::create_directories(fs::path(from).parent_path(), ec);
        Status moved = move_no_replace(to, from, &m_progress);
        if (!moved && moved.error().code == Error::Code::Cancelled)
            return false;
        done(moved, to);
        return true;
    }

    // A move to another file system killed after its copy was in place and before the
    // original was removed leaves the file twice: the copy, byte for byte the original,
    // goes. A pair that differs is reported, and both stay.
    void remove_second_copy(const std::string& from, const std::string& to) {
        const HalfMove half = half_move(from, to, m_started);
        if (half == HalfMove::Differs)
            problem({to, "Left both " + q(from) + " and " + q(to),
                     "the run was moving the one to the other, and they differ."});
        if (half == HalfMove::Same)
            done(::unlink(to.c_str()) == 0
                     ? Status::success()
                     : Error::failed("Could not remove " + q(to) + ": " + std::strerror(errno)),
                 to);
    }

    // A copy whose source is still there, byte for byte, is not the only one: it goes for
    // good, so the trash does not fill with copies. A copy that is the only one left goes
    // to the trash; one changed since the run is left alone.
    void remove_copy(const std::string& from, const std::string& to) {
        if (!path_taken(to))
            return;
        const bool source_there = path_taken(from);
        if (source_there && !same_content_stamp(from, to))
            return problem({to, "Left " + q(to) + " alone",
                            "it is not the copy of " + q(from) + " made by the run."});
        if (source_there && second_file(from, to) && same_bytes(from, to))
            return done(::unlink(to.c_str()) == 0 ? Status::success()
                                                  : Error::failed("Could not remove " + q(to) +
                                                                  ": " + std::strerror(errno)),
                        to);
        auto trashed = move_to_trash(to);
        done(trashed ? Status::success() : Status(trashed.error()), to);
    }

    void untrash(const TrashedFile& file) {
        const bool in_trash = path_taken(file.trashed);
        if (!in_trash && path_taken(file.original))
            return; // prepared, never moved: its info went with the run's litter
        if (!in_trash)
            return problem(
                {file.trashed, "Could not undo", q(file.trashed) + " is gone from the trash."});
        done(restore_from_trash(file), file.original);
    }

    // Only the name the run gave is taken back: a member named otherwise since, or an
    // archive that has gone, is reported and left as it is.
    void member_back(const std::string& zip, const std::string& old_name,
                     const std::string& new_name) {
        const std::string what =
            "Could not give the member of " + q(zip) + " its name " + q(old_name) + " back";
        if (!path_taken(zip))
            return problem({zip, "Could not undo", q(zip) + " is gone."});
        auto now = only_member_name(zip);
        if (!now)
            return problem({zip, what, now.error().message});
        if (*now == old_name) // never renamed, or already back
            return;
        if (*now != new_name)
            return problem({zip, "Left " + q(zip) + " alone",
                            "its member is now named " + q(*now) + ", not " + q(new_name) + "."});
        const std::string name = name_giving_back(*now, old_name);
        if (name.empty())
            return problem({zip, what,
                            old_name.find_first_of("/\\") != std::string::npos
                                ? "a member is only ever given a plain file name, "
                                  "and this one held a folder"
                                : "the helper library cannot give that name"});
        if (!m_zelcore)
            return problem({zip, what, "the helper library is not loaded"});
        done(m_zelcore->rename_inside_zip(zip, name), zip);
    }

    void done(const Status& status, const std::string& path) {
        if (status)
            ++m_report.restored;
        else
            problem(Problem::line(status.error().message, path));
    }
    void problem(Problem p) { m_report.problems.push_back(std::move(p)); }

    UndoReport& m_report;
    Progress& m_progress;
    const Zelcore* m_zelcore;
    std::time_t m_started; ///< when the run began
    std::multiset<std::pair<std::string, std::string>> m_left;
    std::multimap<std::string, TrashedFile> m_replaced;
    std::vector<Entry> m_rest;
    std::set<std::string> m_folders;
};

// What a stopped undo did not get to, in the journal's own form. Should this fail, the
// whole journal stays: the next undo finds what was put back in place and passes it over.
void keep_journal(const fs::path& file, const Journal& journal, const std::vector<Entry>& rest) {
    std::string text = std::string(kFormatLine) + '\n' + entry_line(journal.run);
    for (const auto& entry : rest)
        text += entry_line(entry);
    (void)write_file_atomically(file, text, 0600);
}

void mark_undone(const fs::path& file, UndoReport& report) {
    fs::path done = file;
    done += ".done";
    if (::rename(file.c_str(), done.c_str()) != 0)
        report.problems.push_back({file.string(),
                                   "Could not mark the undo journal " + quoted(file) + " as undone",
                                   std::strerror(errno)});
}

std::string summary_of(const UndoReport& report) {
    std::string text = "Undid: " + report.description + "\nRestored " +
                       std::to_string(report.restored) +
                       (report.restored == 1 ? " file.\n" : " files.\n");
    if (report.end == End::Stopped)
        text += "The undo was stopped; undo again to put back the rest.\n";
    return text;
}

} // namespace

UndoReport undo_last_run(const fs::path& file, Progress& progress, const Zelcore* zelcore) {
    UndoReport report;
    if (run_going_on(file)) {
        report.end = End::Refused;
        report.problems.push_back(Problem::line(
            "The last run is still going on; undo it once it has ended.", file.string()));
        return report;
    }
    auto journal = journal_read::read_journal(file);
    if (!journal) {
        report.end = journal.error().code == Error::Code::NotFound ? End::Refused : End::Failed;
        report.problems.push_back(Problem::line(journal.error().message, file.string()));
        return report;
    }
    report.description = journal->run.fields[0];
    clear_litter(*journal, progress);
    Undoer undoer(report, progress, zelcore, journal->started());
    if (undoer.run(journal->entries)) {
        mark_undone(file, report);
    } else {
        report.end = End::Stopped;
        keep_journal(file, *journal, undoer.rest());
    }
    remove_part_files(undoer.folders(), progress); // an earlier undo may have been killed
    report.summary = summary_of(report);
    return report;
}

} // namespace core
