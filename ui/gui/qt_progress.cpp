#include "qt_progress.h"

#include <QTimer>

namespace ui {

QtProgress::QtProgress(QObject* parent, int interval_ms)
    : QObject(parent), m_timer(new QTimer(this)) {
    // Polling rather than a signal per call: a run of 100,000 files would otherwise queue
    // 100,000 events for a window that repaints ten times a second at most.
    m_timer->setInterval(interval_ms);
    connect(m_timer, &QTimer::timeout, this, &QtProgress::poll);
}

void QtProgress::watch(bool on) {
    if (on)
        m_timer->start();
    else
        m_timer->stop();
}

QtProgress::~QtProgress() = default;

void QtProgress::status(std::string_view text) {
    {
        std::lock_guard lock(m_mutex);
        m_status.assign(text);
    }
    m_generation.fetch_add(1, std::memory_order_release);
}

void QtProgress::log(std::string_view text) {
    {
        std::lock_guard lock(m_mutex);
        m_log.append(text);
    }
    m_generation.fetch_add(1, std::memory_order_release);
}

void QtProgress::step(std::size_t done, std::size_t total) {
    // A new item: the bytes of the last one are over.
    m_bytes_done.store(0, std::memory_order_relaxed);
    m_bytes_total.store(0, std::memory_order_relaxed);
    m_done.store(done, std::memory_order_relaxed);
    m_total.store(total, std::memory_order_relaxed);
    m_generation.fetch_add(1, std::memory_order_release);
}

// Kept apart from the bar: a copy or download inside a run must not take over its count.
void QtProgress::bytes(std::uint64_t done, std::uint64_t total) {
    m_bytes_done.store(done, std::memory_order_relaxed);
    m_bytes_total.store(total, std::memory_order_relaxed);
    m_generation.fetch_add(1, std::memory_order_release);
}

void QtProgress::beep() {
    m_beep.store(true, std::memory_order_relaxed);
    m_generation.fetch_add(1, std::memory_order_release);
}

void QtProgress::reset() {
    std::lock_guard lock(m_mutex);
    m_stop = false;
    m_done = 0;
    m_total = 0;
    m_bytes_done = 0;
    m_bytes_total = 0;
    m_beep = false;
    m_status.clear();
    m_log.clear();
    m_generation.fetch_add(1, std::memory_order_release);
}

QString QtProgress::status_text() const {
    std::lock_guard lock(m_mutex);
    return QString::fromStdString(m_status);
}

QString QtProgress::take_log() {
    std::string text;
    {
        std::lock_guard lock(m_mutex);
        text.swap(m_log);
    }
    return QString::fromStdString(text);
}

void QtProgress::flush() {
    poll();
}

void QtProgress::poll() {
    const std::uint64_t generation = m_generation.load(std::memory_order_acquire);
    if (generation == m_seen)
        return;
    m_seen = generation;
    emit updated();
    if (m_beep.exchange(false, std::memory_order_relaxed))
        emit beeped();
}

} // namespace ui
