#include "recorders.h"

namespace testsupport {

core::Answer RecordingPrompter::ask(const core::Message& message) {
    messages.push_back(message);
    if (script.empty())
        return fallback;
    core::Answer a = script.front();
    script.pop_front();
    return a;
}

void RecordingProgress::step(std::size_t done, std::size_t total) {
    step_calls.emplace_back(done, total);
    ++steps;
}

core::BatchOutcome RecordingRunner::run(const core::Batch& batch) {
    batches.push_back(batch);
    if (dry_run)
        return {std::vector(batch.from.size(), core::ItemResult::Done)};
    auto outcome = m_next.run(batch);
    after();
    return outcome;
}

} // namespace testsupport
