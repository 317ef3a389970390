#include "batch_executor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include <sys/stat.h>

#include "file_move.h"
#include "progress.h"
#include "prompter.h"
#include "text.h"
#include "trash.h"
#include "undo_journal.h"
#include "zelcore_library.h"

namespace core {
namespace {

namespace fs = std::filesystem;

/// Trash places prepared and recorded together before their files move.
constexpr std::size_t kTrashSlice = 64;

std::string q(const std::string& path) {
    return quoted(fs::path(path));
}

// An error text "Could not move 'a' to 'b': why" as what and why; other texts stay whole.
Problem split(const std::string& from, std::string what, const std::string& text) {
    if (text.size() <= what.size() + 2 || !text.starts_with(what + ": "))
        return Problem::line(text, from);
    std::string why = text.substr(what.size() + 2);
    return {from, std::move(what), std::move(why)};
}

/// One run of one batch: the answers given so far and what became of each item.
class BatchRun {
public:
    BatchRun(const ExecutorOptions& options, const Batch& batch,
             std::unordered_set<std::string>& swept)
        : m_options(options), m_batch(batch), m_swept(swept) {
        m_outcome.items.assign(batch.from.size(), ItemResult::Skipped);
    }

    BatchOutcome run() {
        if (m_batch.op != BatchOp::Delete && m_batch.to.size() != m_batch.from.size())
            return all_failed("The batch pairs " + std::to_string(m_batch.from.size()) +
                              " files with " + std::to_string(m_batch.to.size()) +
                              " targets; nothing of it was carried out.");
        if (m_batch.op == BatchOp::RenameMember)
            return rename_members();
        if (m_batch.op == BatchOp::Delete)
            return trash_all();
        if (Status recorded = record_pairs(); !recorded)
            return not_recorded(0, recorded);
        for (std::size_t i = 0; i < m_batch.from.size() && go_on(i); ++i)
            finish(i, pair(m_batch.from[i], m_batch.to[i]));
        record_left();
        return m_outcome;
    }

private:
    Status record_pairs() {
        return m_options.journal
                   ? m_options.journal->record_pairs(m_batch.op, m_batch.from, m_batch.to)
                   : Status::success();
    }
    BatchOutcome trash_all();
    void plan_slice(std::size_t first, std::size_t end);
    void write_infos();
    bool commit_slice(std::size_t first, std::size_t end);
    void record_left();
    ItemResult pair(const std::string& from, const std::string& to);
    ItemResult folder_ready(const std::string& from, std::string_view folder);
    ItemResult conflict(const std::string& from, const std::string& to,
                        std::optional<TrashedFile>& replaced);
    ItemResult make_room(const std::string& from, const std::string& to,
                         std::optional<TrashedFile>& replaced);
    ItemResult settled(const std::string& from, const std::string& to, const Status& status);
    Problem not_carried(const std::string& from, const std::string& to,
                        const std::string& text) const;
    Result<TrashedFile> replace(const std::string& to);
    void put_back(const TrashedFile& replaced);
    Status carry(const std::string& from, const std::string& to);
    ItemResult plain_rename(const std::string& from, const std::string& to);
    BatchOutcome rename_members();
    Problem member_problem(const std::string& zip, std::size_t i, std::string why) const;
    void sweep(const std::string& folder);
    bool go_on(std::size_t i);
    ItemResult stop_at(const std::string& from);
    ItemResult linked(const std::string& from);

    void finish(std::size_t i, ItemResult result) {
        m_outcome.items[i] = result;
        if (m_options.after_item)
            m_options.after_item(i);
    }
    BatchOutcome all_failed(std::string text) { return failed_from(0, std::move(text)); }
    BatchOutcome failed_from(std::size_t first, std::string text) {
        std::fill(m_outcome.items.begin() + static_cast<std::ptrdiff_t>(first),
                  m_outcome.items.end(), ItemResult::Failed);
        m_outcome.problems.push_back(Problem::line(std::move(text)));
        return m_outcome;
    }
    BatchOutcome not_recorded(std::size_t first, const Status& recorded) {
        return failed_from(first, recorded.error().message +
                                      (first ? " The rest of this batch was not carried out."
                                             : " Nothing of this batch was carried out."));
    }
    ItemResult skipped(Problem problem) {
        m_outcome.problems.push_back(std::move(problem));
        return ItemResult::Skipped;
    }
    ItemResult taken(const std::string& from, const std::string& to) {
        return skipped({from, "Skipped " + q(from), q(to) + " already exists."});
    }
    ItemResult failed(Problem problem) {
        m_outcome.problems.push_back(std::move(problem));
        return ItemResult::Failed;
    }
    Answer ask(const Message& message) {
        return m_options.prompter ? m_options.prompter->ask(message)
                                  : silent_prompter().ask(message);
    }

    const ExecutorOptions& m_options;
    const Batch& m_batch;
    std::unordered_set<std::string>& m_swept;
    BatchOutcome m_outcome;
    struct Folder {
        bool declined = false;
        std::string failure; ///< why a folder the user wanted could not be made
    };
    std::unordered_map<std::string, Folder> m_folders; ///< target folders seen
    std::string m_last_ready; ///< the folder the last item went to, known to be there
    bool m_skip_all = false;
    std::vector<TrashedFile> m_prepared; ///< delete batches: a slice's trash places, in order
    std::vector<std::size_t> m_prepared_items;
};

// A delete batch goes a slice at a time: the slice's trash places are picked and recorded
// in one synced journal write, then their .trashinfo files are written, then the files
// move. A run killed in the middle thus leaves at most one slice of .trashinfo files
// without their file, every one named in the journal, and the next run removes those.
BatchOutcome BatchRun::trash_all() {
    for (std::size_t first = 0; first < m_batch.from.size(); first += kTrashSlice) {
        const std::size_t end = std::min(m_batch.from.size(), first + kTrashSlice);
        plan_slice(first, end);
        if (m_options.journal)
            if (Status recorded = m_options.journal->record_trash(m_prepared); !recorded)
                return not_recorded(first, recorded);
        write_infos();
        if (!commit_slice(first, end))
            break;
    }
    return m_outcome;
}

void BatchRun::plan_slice(std::size_t first, std::size_t end) {
    m_prepared.clear();
    m_prepared_items.clear();
    std::set<std::string> planned;
    for (std::size_t i = first; i < end; ++i) {
        if (is_symbolic_link(m_batch.from[i])) {
            linked(m_batch.from[i]);
            continue;
        }
        auto place = plan_trash(m_batch.from[i], planned);
        if (!place) {
            m_outcome.items[i] = failed(Problem::line(place.error().message, m_batch.from[i]));
            continue;
        }
        planned.insert(place->info);
        m_prepared.push_back(std::move(place.value()));
        m_prepared_items.push_back(i);
    }
}

// An item whose .trashinfo cannot be written fails and stays where it is.
void BatchRun::write_infos() {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < m_prepared.size(); ++k) {
        const std::size_t i = m_prepared_items[k];
        if (Status written = write_trash_info(m_prepared[k]); !written) {
            m_outcome.items[i] = failed(Problem::line(written.error().message, m_batch.from[i]));
            continue;
        }
        if (kept != k)
            m_prepared[kept] = std::move(m_prepared[k]);
        m_prepared_items[kept++] = i;
    }
    m_prepared.resize(kept);
    m_prepared_items.resize(kept);
}

// The journal is told which pairs stayed, so that undo never moves a file that the run
// did not put there; not synced, because undo falls back on where the files are.
void BatchRun::record_left() {
    if (!m_options.journal)
        return;
    std::vector<std::string> from, to;
    for (std::size_t i = 0; i < m_outcome.items.size(); ++i)
        if (m_outcome.items[i] != ItemResult::Done) {
            from.push_back(m_batch.from[i]);
            to.push_back(m_batch.to[i]);
        }
    if (!from.empty())
        (void)m_options.journal->record_left(from, to);
}

// False when Stop ended the batch.
bool BatchRun::commit_slice(std::size_t first, std::size_t end) {
    std::size_t k = 0;
    for (std::size_t i = first; i < end; ++i) {
        if (k < m_prepared_items.size() && m_prepared_items[k] == i) {
            if (!go_on(i))
                break;
            Status status = commit_trash(m_prepared[k++]);
            m_outcome.items[i] =
                status ? ItemResult::Done
                       : failed(Problem::line(status.error().message, m_batch.from[i]));
        }
        if (m_options.after_item)
            m_options.after_item(i);
    }
    for (; k < m_prepared.size(); ++k) // stopped: these never moved
        abandon_trash(m_prepared[k]);
    return !m_outcome.stopped && !m_outcome.cancelled;
}

// Between items: a Cancel answer or Stop ends the batch, and the items left stay Skipped.
bool BatchRun::go_on(std::size_t i) {
    if (m_outcome.cancelled || m_outcome.stopped)
        return false;
    if (!m_options.progress || !m_options.progress->stop_requested())
        return true;
    stop_at(m_batch.from[i]);
    return false;
}

ItemResult BatchRun::stop_at(const std::string& from) {
    m_outcome.stopped = true;
    return skipped(
        {from, "Stopped at " + q(from), "it and the rest of the batch were not carried out."});
}

ItemResult BatchRun::linked(const std::string& from) {
    return skipped({from, "Skipped " + q(from), "it is a symbolic link."});
}

// Once per folder and executor: part files that a killed run left beside its targets.
void BatchRun::sweep(const std::string& folder) {
    if (!m_swept.insert(folder).second)
        return;
    const std::size_t removed = remove_stale_parts(folder);
    if (removed && m_options.progress)
        m_options.progress->log("Removed " + std::to_string(removed) +
                                (removed == 1 ? " part file" : " part files") +
                                " left by an earlier run in " + q(folder) + ".\r\n");
}

// Asked once per folder. No skips every item going there; a Yes that fails fails them,
// each with the reason.
ItemResult BatchRun::folder_ready(const std::string& from, std::string_view folder) {
    if (folder.empty() || folder == m_last_ready)
        return ItemResult::Done;
    auto [it, fresh] = m_folders.try_emplace(std::string(folder));
    const std::string& name = it->first;
    std::error_code ec;
    if (fresh && !fs::is_directory(name, ec)) {
        Answer answer =
            ask({"The folder " + q(name) + " does not exist.\r\nDo you want to create it?",
                 "Confirm Folder Create", Message::Icon::Question, Message::Buttons::YesNo});
        if (answer != Answer::Yes)
            it->second.declined = true;
        else if (!fs::create_directories(name, ec) && ec)
            it->second.failure = ec.message();
    }
    if (it->second.declined)
        return skipped({from, "Skipped " + q(from), "the folder " + q(name) + " does not exist."});
    if (!it->second.failure.empty())
        return failed({from, "Could not create the folder " + q(name), it->second.failure});
    sweep(name);
    m_last_ready = name;
    return ItemResult::Done;
}

Result<TrashedFile> BatchRun::replace(const std::string& to) {
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Error::failed("Could not replace " + q(to) + ": it is a folder.");
    auto place = plan_trash(to);
    if (!place)
        return place.error();
    if (m_options.journal)
        if (auto recorded = m_options.journal->record_replace(*place); !recorded)
            return recorded.error();
    if (auto written = write_trash_info(*place); !written)
        return written.error();
    if (auto committed = commit_trash(*place); !committed)
        return committed.error();
    return place;
}

// The move that the old file made room for failed: the old file takes its place again.
void BatchRun::put_back(const TrashedFile& replaced) {
    if (auto restored = restore_from_trash(replaced); !restored)
        m_outcome.problems.push_back(Problem::line(restored.error().message, replaced.original));
}

ItemResult BatchRun::make_room(const std::string& from, const std::string& to,
                               std::optional<TrashedFile>& replaced) {
    auto trashed = replace(to);
    if (!trashed)
        return failed(split(from, "Could not replace " + q(to), trashed.error().message));
    replaced = std::move(*trashed);
    return ItemResult::Done; // the caller goes on with the move itself
}

ItemResult BatchRun::conflict(const std::string& from, const std::string& to,
                              std::optional<TrashedFile>& replaced) {
    if (m_batch.existing == ExistingTarget::Replace ||
        (m_batch.existing == ExistingTarget::AsOptions &&
         m_options.on_conflict == ConflictPolicy::Replace))
        return make_room(from, to, replaced);
    if (m_batch.existing == ExistingTarget::Skip || m_options.on_conflict == ConflictPolicy::Skip ||
        m_skip_all)
        return taken(from, to);
    Answer answer =
        ask({"The file " + q(to) + " already exists.\r\nReplace it with " + q(from) +
                 "? The file there goes to the trash.",
             "Confirm File Replace", Message::Icon::Question, Message::Buttons::ReplaceSkipCancel});
    switch (answer) {
    case Answer::Replace:
        return make_room(from, to, replaced);
    case Answer::SkipAll:
        m_skip_all = true;
        return taken(from, to);
    case Answer::Cancel:
        m_outcome.cancelled = true;
        return skipped(Problem::line(
            "Cancelled at " + q(from) + "; the rest of the batch was not carried out.", from));
    default:
        return taken(from, to);
    }
}

// The common case costs one system call: the move is tried first, and only a name that
// turns out to be taken leads to questions.
ItemResult BatchRun::pair(const std::string& from, const std::string& to) {
    if (from == to)
        return ItemResult::Done;
    if (is_symbolic_link(from))
        return linked(from);
    if (auto ready = folder_ready(from, std::string_view(to).substr(0, to.rfind('/') + 1));
        ready != ItemResult::Done)
        return ready;
    Status status = carry(from, to);
    if (status || status.error().code != Error::Code::Exists)
        return settled(from, to, status);
    // "game.bin" to "Game.bin" on a file system that ignores letter case finds itself.
    if (m_batch.op == BatchOp::Move && iequals(from, to) && same_file(from, to))
        return plain_rename(from, to);
    std::optional<TrashedFile> replaced;
    if (auto answer = conflict(from, to, replaced); answer != ItemResult::Done)
        return answer;
    status = carry(from, to);
    if (!status && replaced)
        put_back(*replaced);
    return settled(from, to, status);
}

ItemResult BatchRun::settled(const std::string& from, const std::string& to, const Status& status) {
    if (status)
        return ItemResult::Done;
    if (status.error().code == Error::Code::Exists) // it appeared again just now
        return taken(from, to);
    if (status.error().code == Error::Code::Cancelled)
        return stop_at(from);
    if (!path_taken(from))
        return failed(Problem::line("Could not find " + q(from) + ".", from));
    return failed(not_carried(from, to, status.error().message));
}

Problem BatchRun::not_carried(const std::string& from, const std::string& to,
                              const std::string& text) const {
    const char* verb = m_batch.op == BatchOp::Copy ? "Could not copy " : "Could not move ";
    return split(from, verb + q(from) + " to " + q(to), text);
}

Status BatchRun::carry(const std::string& from, const std::string& to) {
    // Most moves are one rename in place; that case builds no path objects. Anything else
    // (a taken name, another file system) is tried again below, where it is told apart.
    if (m_batch.op == BatchOp::Move && rename_no_replace(from.c_str(), to.c_str()) == 0)
        return Status::success();
    return m_batch.op == BatchOp::Copy ? copy_no_replace(from, to, m_options.progress)
                                       : move_no_replace(from, to, m_options.progress);
}

ItemResult BatchRun::plain_rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return ItemResult::Done;
    return failed({from, "Could not move " + q(from) + " to " + q(to), std::strerror(errno)});
}

// Each member's name is read before anything changes, so that the journal holds the name
// undo gives back. A member that has its name already is left as it is.
BatchOutcome BatchRun::rename_members() {
    std::vector<MemberRename> renames;
    std::vector<std::size_t> items;
    for (std::size_t i = 0; i < m_batch.from.size(); ++i) {
        if (is_symbolic_link(m_batch.from[i])) {
            m_outcome.items[i] = linked(m_batch.from[i]);
            continue;
        }
        auto planned = plan_member_rename(m_batch.from[i], m_batch.to[i]);
        if (!planned || !m_options.zelcore)
            m_outcome.items[i] = failed(member_problem(m_batch.from[i], i,
                                                       planned ? "the helper library is not loaded"
                                                               : planned.error().message));
        else if (planned->old_name == planned->new_name)
            m_outcome.items[i] = ItemResult::Done;
        else {
            renames.push_back(std::move(*planned));
            items.push_back(i);
        }
    }
    if (Status recorded =
            m_options.journal ? m_options.journal->record_members(renames) : Status::success();
        !recorded)
        return all_failed(recorded.error().message + " Nothing of this batch was carried out.");
    for (std::size_t k = 0; k < renames.size() && go_on(items[k]); ++k) {
        Status status =
            m_options.zelcore->rename_inside_zip(renames[k].archive, m_batch.to[items[k]]);
        finish(items[k], status ? ItemResult::Done
                                : failed(member_problem(renames[k].archive, items[k],
                                                        status.error().message)));
    }
    return m_outcome;
}

// The helper library's message says again what was asked; the problem keeps its reason.
Problem BatchRun::member_problem(const std::string& zip, std::size_t i, std::string why) const {
    const std::string& name = m_batch.to[i];
    const std::string asked = "cannot rename the file inside " + q(zip) + " to '" + name + "': ";
    if (why.starts_with(asked))
        why.erase(0, asked.size());
    return {zip, "Could not rename the file inside " + q(zip) + " to '" + name + "'", why};
}

} // namespace

BatchExecutor::BatchExecutor(ExecutorOptions options) : m_options(std::move(options)) {}

BatchOutcome BatchExecutor::run(const Batch& batch) {
    return BatchRun(m_options, batch, m_swept).run();
}

} // namespace core
