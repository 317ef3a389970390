#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "progress.h"

namespace core {

/// Passes an engine's reports on to `inner`, but a step only when the whole percentage or the
/// total changes, so a window receives about a hundred steps a pass however many files
/// there are, and a per-file step costs a division. NOT thread-safe, like the run it serves.
class CoarseProgress final : public Progress {
public:
    explicit CoarseProgress(Progress& inner) : m_inner(inner) {}

    void status(std::string_view text) override { m_inner.status(text); }
    void log(std::string_view text) override { m_inner.log(text); }
    void result(std::string_view text) override { m_inner.result(text); }
    void step(std::size_t done, std::size_t total) override;
    void bytes(std::uint64_t done, std::uint64_t total) override { m_inner.bytes(done, total); }
    bool stop_requested() const override { return m_inner.stop_requested(); }
    void beep() override { m_inner.beep(); }

private:
    Progress& m_inner;
    std::size_t m_total = 0;
    std::size_t m_percent = 0;
    bool m_any = false;
};

} // namespace core
