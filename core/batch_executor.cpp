#include "batch_executor.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "file_move.h"
#include "prompter.h"
#include "text.h"
#include "trash.h"
#include "undo_journal.h"

namespace core {
namespace {

namespace fs = std::filesystem;

std::string q(const std::string& path) {
    return quoted(fs::path(path));
}

/// One run of one batch: the answers given so far and what became of each item.
class BatchRun {
public:
    BatchRun(const ExecutorOptions& options, const Batch& batch)
        : m_options(options), m_batch(batch) {
        m_outcome.items.assign(batch.from.size(), ItemResult::Skipped);
    }

    BatchOutcome run() {
        Status recorded = record();
        if (!recorded) {
            m_outcome.items.assign(m_batch.from.size(), ItemResult::Failed);
            m_outcome.problems.push_back(recorded.error().message +
                                         " Nothing of this batch was carried out.");
            return m_outcome;
        }
        if (m_batch.op == BatchOp::Delete)
            commit_trash_all();
        else
            for (std::size_t i = 0; i < m_batch.from.size() && !m_outcome.cancelled; ++i)
                finish(i, pair(m_batch.from[i], m_batch.to[i]));
        return m_outcome;
    }

private:
    Status record();
    ItemResult pair(const std::string& from, const std::string& to);
    bool folder_ready(const std::string& from, const std::string& folder);
    ItemResult conflict(const std::string& from, const std::string& to);
    Status replace(const std::string& to);
    Status carry(const std::string& from, const std::string& to);
    ItemResult plain_rename(const std::string& from, const std::string& to);
    void commit_trash_all();

    void finish(std::size_t i, ItemResult result) {
        m_outcome.items[i] = result;
        if (m_options.after_item)
            m_options.after_item(i);
    }
    ItemResult skipped(std::string text) {
        m_outcome.problems.push_back(std::move(text));
        return ItemResult::Skipped;
    }
    ItemResult failed(std::string text) {
        m_outcome.problems.push_back(std::move(text));
        return ItemResult::Failed;
    }
    Answer ask(Message message) {
        return m_options.prompter ? m_options.prompter->ask(message)
                                  : silent_prompter().ask(message);
    }

    const ExecutorOptions& m_options;
    const Batch& m_batch;
    BatchOutcome m_outcome;
    std::unordered_map<std::string, bool> m_folders; ///< target folders seen: usable or not
    bool m_skip_all = false;
    std::vector<TrashedFile> m_prepared; ///< delete batches: trash places, in item order
    std::vector<std::size_t> m_prepared_items;
};

// A delete batch first prepares every trash place, so that one synced journal write
// covers the whole batch before any file moves.
Status BatchRun::record() {
    if (m_batch.op != BatchOp::Delete)
        return m_options.journal
                   ? m_options.journal->record_pairs(m_batch.op, m_batch.from, m_batch.to)
                   : Status::success();
    for (std::size_t i = 0; i < m_batch.from.size(); ++i) {
        auto prepared = prepare_trash(m_batch.from[i]);
        if (!prepared) {
            m_outcome.items[i] = ItemResult::Failed;
            m_outcome.problems.push_back(prepared.error().message);
            continue;
        }
        m_prepared.push_back(std::move(prepared.value()));
        m_prepared_items.push_back(i);
    }
    Status recorded =
        m_options.journal ? m_options.journal->record_trash(m_prepared) : Status::success();
    if (!recorded)
        for (const auto& file : m_prepared)
            abandon_trash(file);
    return recorded;
}

void BatchRun::commit_trash_all() {
    for (std::size_t k = 0; k < m_prepared.size(); ++k) {
        Status status = commit_trash(m_prepared[k]);
        finish(m_prepared_items[k], status ? ItemResult::Done : failed(status.error().message));
    }
}

bool BatchRun::folder_ready(const std::string& from, const std::string& folder) {
    if (folder.empty())
        return true;
    auto [it, fresh] = m_folders.try_emplace(folder, false);
    std::error_code ec;
    if (fresh && fs::is_directory(folder, ec)) {
        it->second = true;
    } else if (fresh) {
        Answer answer =
            ask({"The folder " + q(folder) + " does not exist.\r\nDo you want to create it?",
                 "Confirm Folder Create", Message::Icon::Question, Message::Buttons::YesNo});
        it->second = answer == Answer::Yes && fs::create_directories(folder, ec) && !ec;
        if (answer == Answer::Yes && !it->second)
            m_outcome.problems.push_back("Could not create the folder " + q(folder) + ": " +
                                         ec.message());
    }
    if (!it->second)
        m_outcome.problems.push_back("Skipped " + q(from) + ": the folder " + q(folder) +
                                     " does not exist.");
    return it->second;
}

Status BatchRun::replace(const std::string& to) {
    auto prepared = prepare_trash(to);
    if (!prepared)
        return prepared.error();
    if (m_options.journal)
        if (auto recorded = m_options.journal->record_trash({*prepared}); !recorded) {
            abandon_trash(*prepared);
            return recorded;
        }
    return commit_trash(*prepared);
}

ItemResult BatchRun::conflict(const std::string& from, const std::string& to) {
    auto skip = [&] { return skipped("Skipped " + q(from) + ": " + q(to) + " already exists."); };
    if (m_options.on_conflict == ConflictPolicy::Skip || m_skip_all)
        return skip();
    Answer answer =
        ask({"The file " + q(to) + " already exists.\r\nReplace it with " + q(from) +
                 "? The file there goes to the trash.",
             "Confirm File Replace", Message::Icon::Question, Message::Buttons::ReplaceSkipCancel});
    switch (answer) {
    case Answer::Replace:
        if (auto status = replace(to); !status)
            return failed("Could not replace " + q(to) + ": " + status.error().message);
        return ItemResult::Done; // the caller goes on with the move itself
    case Answer::SkipAll:
        m_skip_all = true;
        return skip();
    case Answer::Cancel:
        m_outcome.cancelled = true;
        return skipped("Cancelled at " + q(from) + "; the rest of the batch was not carried out.");
    default:
        return skip();
    }
}

// The common case costs one system call: the move is tried first, and only a name that
// turns out to be taken leads to questions.
ItemResult BatchRun::pair(const std::string& from, const std::string& to) {
    if (from == to)
        return ItemResult::Done;
    if (!folder_ready(from, to.substr(0, to.rfind('/') + 1)))
        return ItemResult::Skipped;
    Status status = carry(from, to);
    if (!status && status.error().code == Error::Code::Exists) {
        if (m_batch.op == BatchOp::Move && same_file(from, to)) // only the letter case changes
            return plain_rename(from, to);
        if (auto answer = conflict(from, to); answer != ItemResult::Done)
            return answer;
        status = carry(from, to);
    }
    if (status)
        return ItemResult::Done;
    if (status.error().code == Error::Code::Exists) // it appeared again just now
        return skipped("Skipped " + q(from) + ": " + q(to) + " already exists.");
    if (!path_taken(from))
        return failed("Could not find " + q(from) + ".");
    return failed(status.error().message);
}

Status BatchRun::carry(const std::string& from, const std::string& to) {
    return m_batch.op == BatchOp::Copy ? copy_no_replace(from, to) : move_no_replace(from, to);
}

ItemResult BatchRun::plain_rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return ItemResult::Done;
    return failed("Could not move " + q(from) + " to " + q(to) + ": " + std::strerror(errno));
}

} // namespace

BatchExecutor::BatchExecutor(ExecutorOptions options) : m_options(std::move(options)) {}

BatchOutcome BatchExecutor::run(const Batch& batch) {
    return BatchRun(m_options, batch).run();
}

} // namespace core
