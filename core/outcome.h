#pragma once

#include <string>
#include <utility>
#include <vector>

#include "text.h"

namespace core {

/// How an operation ended.
enum class End {
    Completed, ///< it went through; some items may still have problems
    Stopped,   ///< Stop was asked for; what was done so far stays done
    Refused,   ///< it did not start (a missing folder, a No to its question): nothing changed
    Failed,    ///< it could not go on (a damaged journal, a lost server)
};

/// Something an operation did not do.
struct Problem {
    std::string path; ///< the file or folder it is about; "" when none
    std::string what; ///< what was not done, as a sentence start: "Could not move 'a' to 'b'"
    std::string why;  ///< the reason; "" when `what` says it all
    /// Said for the record only: nothing the user asked for failed (a symbolic link left
    /// alone by rule). It does not make a run fall short.
    bool note = false;

    /// The line a log shows: "what: why", or `what` alone.
    std::string text() const { return why.empty() ? what : what + ": " + why; }
    /// A problem known only as a whole sentence.
    static Problem line(std::string text, std::string path = {}) {
        return {std::move(path), std::move(text), {}, false};
    }
    /// A symbolic link that a walk found: no run acts on one. `shown` names it in the text.
    static Problem link_left_alone(std::string path, const std::string& shown) {
        std::string what = "Skipped " + core::quoted(shown);
        return {std::move(path), std::move(what), "it is a symbolic link.", true};
    }
};

using Problems = std::vector<Problem>;

/// What every operation reports when it ends: its end state, its problems and the summary
/// the engine worded for it. An engine's own report adds its counts to this. Front ends
/// show it as it is and word nothing of their own.
struct Outcome {
    End end = End::Completed;
    Problems problems;
    std::string summary; ///< the closing text, lines ending in '\n'; "" when the log said it

    bool completed() const { return end == End::Completed; }
    /// The problems that are more than notes.
    std::size_t failures() const {
        std::size_t n = 0;
        for (const auto& p : problems)
            n += !p.note;
        return n;
    }
    /// Completed without a single problem beyond notes.
    bool clean() const { return end == End::Completed && failures() == 0; }
};

} // namespace core
