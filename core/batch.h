#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "outcome.h"

namespace core {

/// What one batch does with its items.
enum class BatchOp {
    Move = 1,
    Copy = 2,
    Delete = 3,
    /// Renames the one member of the archive `from[i]`: its base name becomes `to[i]`, its
    /// folder part and extension stay.
    RenameMember = 4,
};

/// A pending list of full paths, in the order planned. `chars` counts what the list would
/// take as NUL-terminated text, which is what decides when a batch is carried out early.
class PathList {
public:
    void add(std::string path) {
        m_chars += path.size() + 1;
        m_paths.push_back(std::move(path));
    }
    const std::vector<std::string>& paths() const { return m_paths; }
    std::size_t chars() const { return m_chars; }
    std::size_t size() const { return m_paths.size(); }
    bool empty() const { return m_paths.empty(); }
    /// Hands the paths over and leaves the list empty.
    std::vector<std::string> take() {
        m_chars = 0;
        return std::exchange(m_paths, {});
    }

private:
    std::vector<std::string> m_paths;
    std::size_t m_chars = 0;
};

/// A pending list longer than this (in NUL-terminated characters) is carried out at once.
inline constexpr std::size_t kBatchFlushChars = 130000;

/// What a batch does with a target that already exists.
enum class ExistingTarget {
    AsOptions, ///< whatever the executor's options say (ask, or skip)
    Skip,      ///< leave the item where it is and say so, without asking
    Replace,   ///< replace without asking; the old file goes to the trash
};

/// One batch: `from[i]` goes to `to[i]` (move, copy); a delete batch has no `to`.
struct Batch {
    using OnExisting = ExistingTarget;

    BatchOp op = BatchOp::Move;
    std::vector<std::string> from;
    std::vector<std::string> to;
    /// Set by a caller whose operation has its own rule for taken names, so that the user
    /// is not asked a question whose answer is already known.
    ExistingTarget existing = ExistingTarget::AsOptions;
};

enum class ItemResult { Done, Skipped, Failed };

/// What became of each item of a batch.
struct BatchOutcome {
    std::vector<ItemResult> items;     ///< one per entry of `from`, in order
    Problems problems;                 ///< one per item skipped or failed
    bool cancelled = false;            ///< the user cancelled: the items left are Skipped
    bool stopped = false;              ///< Stop was asked for: the items left are Skipped

    std::size_t count(ItemResult result) const {
        std::size_t n = 0;
        for (auto r : items)
            n += r == result;
        return n;
    }
};

/// Carries out batches: the real executor, a dry run, a test recorder.
class BatchRunner {
public:
    virtual ~BatchRunner() = default;
    virtual BatchOutcome run(const Batch& batch) = 0;
    /// False for a runner that only lists what it would do: callers then leave alone the
    /// few changes that do not go through batches (renaming a member inside an archive).
    virtual bool changes_files() const { return true; }
};

} // namespace core
