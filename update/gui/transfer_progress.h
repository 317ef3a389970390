#pragma once

#include <atomic>
#include <cstdint>

#include "progress.h"

namespace update {

/// A run's progress with the bytes of the transfer under way kept apart: everything else
/// goes on to the window's progress, whose bar counts databases; the window shows the bytes
/// beside it. The bytes are written by the worker and read by the window.
class TransferProgress final : public core::Progress {
public:
    explicit TransferProgress(core::Progress& next) : m_next(next) {}

    void status(std::string_view text) override { m_next.status(text); }
    void log(std::string_view text) override { m_next.log(text); }
    /// A new database: the bytes start again.
    void step(std::size_t done, std::size_t total) override {
        clear();
        m_next.step(done, total);
    }
    void bytes(std::uint64_t done, std::uint64_t total) override {
        m_done.store(done, std::memory_order_relaxed);
        m_total.store(total, std::memory_order_relaxed);
    }
    bool stop_requested() const override { return m_next.stop_requested(); }
    void beep() override { m_next.beep(); }

    void clear() {
        m_done.store(0, std::memory_order_relaxed);
        m_total.store(0, std::memory_order_relaxed);
    }
    std::uint64_t done_bytes() const { return m_done.load(std::memory_order_relaxed); }
    /// 0 when the server did not say.
    std::uint64_t total_bytes() const { return m_total.load(std::memory_order_relaxed); }

private:
    core::Progress& m_next;
    std::atomic<std::uint64_t> m_done{0};
    std::atomic<std::uint64_t> m_total{0};
};

} // namespace update
