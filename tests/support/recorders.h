#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "batch.h"
#include "outcome.h"
#include "progress.h"
#include "prompter.h"

namespace testsupport {

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/// The log lines of a list of problems, to compare with the texts a user reads.
inline std::vector<std::string> lines(const core::Problems& problems) {
    std::vector<std::string> out;
    for (const auto& p : problems)
        out.push_back(p.text());
    return out;
}

/// Records every message box and answers from a script (then with `fallback`).
class RecordingPrompter final : public core::Prompter {
public:
    core::Answer ask(const core::Message& message) override;

    std::vector<core::Message> messages;
    std::deque<core::Answer> script;
    core::Answer fallback = core::Answer::Ok;
};

/// Records status lines, log text and steps; can ask to stop after N steps.
class RecordingProgress final : public core::Progress {
public:
    void status(std::string_view text) override { statuses.emplace_back(text); }
    void log(std::string_view text) override { log_text += text; }
    void step(std::size_t done, std::size_t total) override;
    bool stop_requested() const override { return stop_after >= 0 && steps >= stop_after; }

    std::vector<std::string> statuses;
    std::string log_text;
    std::vector<std::pair<std::size_t, std::size_t>> step_calls;
    long steps = 0;
    long stop_after = -1;
};

/// Keeps every batch and hands it on to `next` (for a dry run only lists it); `after` runs
/// after each batch.
class RecordingRunner final : public core::BatchRunner {
public:
    explicit RecordingRunner(core::BatchRunner& next) : m_next(next) {}
    core::BatchOutcome run(const core::Batch& batch) override;
    bool changes_files() const override { return !dry_run; }

    std::vector<core::Batch> batches;
    bool dry_run = false;
    std::function<void()> after = [] {};

private:
    core::BatchRunner& m_next;
};

} // namespace testsupport
