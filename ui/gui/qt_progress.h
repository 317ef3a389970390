#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "progress.h"

class QTimer;

namespace ui {

/// The progress of an engine that runs on a worker thread, as a window reads it.
///
/// The engine's calls (any one worker thread) only store what they are told: they never
/// wait for the window and never emit a signal, so a call per file stays cheap. The window
/// (UI thread) is told by updated(), a few times a second and only when something changed,
/// and takes the new log text with take_log(). request_stop() may be called from any thread.
class QtProgress final : public QObject, public core::Progress {
    Q_OBJECT
public:
    /// Construct on the UI thread: updated() is emitted there.
    explicit QtProgress(QObject* parent = nullptr, int interval_ms = 100);
    ~QtProgress() override;

    // core::Progress, from the worker thread.
    void status(std::string_view text) override;
    void log(std::string_view text) override;
    void step(std::size_t done, std::size_t total) override;
    void bytes(std::uint64_t done, std::uint64_t total) override;
    bool stop_requested() const override { return m_stop.load(std::memory_order_relaxed); }
    void beep() override;

    void request_stop() { m_stop.store(true, std::memory_order_relaxed); }
    /// Clears the Stop flag, the counts and the texts for the next run.
    void reset();

    // What the window reads (UI thread).
    QString status_text() const;
    std::size_t done() const { return m_done.load(std::memory_order_relaxed); }
    std::size_t total() const { return m_total.load(std::memory_order_relaxed); }
    /// The bytes of the transfer or copy under way, apart from the bar's count of items;
    /// both 0 again at each new step. The total is 0 when unknown.
    std::uint64_t bytes_done() const { return m_bytes_done.load(std::memory_order_relaxed); }
    std::uint64_t bytes_total() const { return m_bytes_total.load(std::memory_order_relaxed); }
    /// The log text added since the last call.
    QString take_log();
    /// Looks for changes a few times a second while on (while a run is under way); a window
    /// with no run wakes nothing.
    void watch(bool on);
    /// Emits updated() now when anything changed (at the end of a run, so nothing is lost).
    void flush();

signals:
    void updated();
    void beeped();

private:
    void poll();

    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_done{0};
    std::atomic<std::size_t> m_total{0};
    std::atomic<std::uint64_t> m_bytes_done{0};
    std::atomic<std::uint64_t> m_bytes_total{0};
    std::atomic<std::uint64_t> m_generation{0};
    std::atomic<bool> m_beep{false};
    std::uint64_t m_seen = 0;
    mutable std::mutex m_mutex;
    std::string m_status;
    std::string m_log;
    QTimer* m_timer;
};

} // namespace ui
