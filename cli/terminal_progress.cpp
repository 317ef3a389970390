#include "terminal_progress.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <unistd.h>
#include <utility>

#include "context.h"
#include "interrupt.h"

namespace cli {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr std::size_t kBarWidth = 30;
constexpr std::size_t kLabelWidth = 36;

std::atomic<bool> g_ring_bell{false};

// "\r[label] [#####.....] 12/300": one line that the next draw overwrites. A cleared bar
// (nothing to count yet) shows the label alone.
std::string bar_line(std::string_view label, std::size_t done, std::size_t total) {
    std::size_t filled = total == 0 ? 0 : std::min(kBarWidth, kBarWidth * done / total);
    std::string line = "\r";
    if (!label.empty())
        line.append(label.substr(0, kLabelWidth)).append(" ");
    if (total == 0)
        return line + "\x1b[K";
    line += '[';
    line.append(filled, '#').append(kBarWidth - filled, '.');
    line += "] " + std::to_string(done) + "/" + std::to_string(total);
    return line + "\x1b[K";
}

} // namespace

TerminalProgress::TerminalProgress(std::ostream& out, std::ostream& err, bool draw_bar,
                                   bool results_only)
    : m_out(out), m_err(err), m_draw_bar(draw_bar), m_results_only(results_only) {}

TerminalProgress::TerminalProgress(const Context& ctx)
    : TerminalProgress(ctx.out, ctx.err, draws_bar_on(ctx.err), ctx.quiet) {}

TerminalProgress::~TerminalProgress() {
    finish();
}

void TerminalProgress::status(std::string_view text) {
    m_status = text;
}

void TerminalProgress::log(std::string_view text) {
    if (!m_results_only)
        write_log(text);
}

void TerminalProgress::result(std::string_view text) {
    write_log(text);
}

void TerminalProgress::write_log(std::string_view text) {
    std::string converted;
    for (char c : text) {
        bool was_cr = std::exchange(m_pending_cr, false);
        if (c == '\n' && was_cr)
            continue; // the line end was written with its CR
        if (c == '\r') {
            m_pending_cr = true;
            c = '\n';
        }
        converted += c;
    }
    if (!m_draw_bar) {
        m_out << converted;
        if (!converted.empty())
            m_mid_line = converted.back() != '\n';
        return;
    }
    // While a bar is drawn, the unfinished line is its label; it is printed once complete.
    m_open_line += converted;
    auto end = m_open_line.rfind('\n');
    if (end == std::string::npos)
        return;
    clear_bar();
    m_out << std::string_view(m_open_line).substr(0, end + 1) << std::flush;
    m_open_line.erase(0, end + 1);
}

void TerminalProgress::step(std::size_t done, std::size_t total) {
    if (!m_draw_bar)
        return;
    auto now = std::chrono::steady_clock::now();
    if (m_bar_shown && now - m_last_draw < kRedrawEvery)
        return;
    m_last_draw = now;
    draw(done, total);
}

bool TerminalProgress::stop_requested() const {
    return interrupted();
}

void ring_bell(bool on) {
    g_ring_bell = on;
}

void TerminalProgress::beep() {
    if (g_ring_bell)
        m_err << '\a' << std::flush;
}

void TerminalProgress::print_line(std::string_view line) {
    clear_bar();
    // Our line does not belong to the log line that is still open: it gets one of its own.
    if (!m_open_line.empty() || m_mid_line)
        m_out << std::exchange(m_open_line, {}) << '\n';
    m_mid_line = false;
    m_out << line << '\n';
}

void TerminalProgress::clear_bar() {
    if (!m_bar_shown)
        return;
    m_err << "\r\x1b[K" << std::flush;
    m_bar_shown = false;
}

void TerminalProgress::finish() {
    clear_bar();
    // The engine's last line has no line end; a shell prompt must not follow it on its line.
    if (!m_open_line.empty() || m_mid_line)
        m_out << std::exchange(m_open_line, {}) << '\n';
    m_mid_line = false;
    m_out << std::flush;
}

void TerminalProgress::draw(std::size_t done, std::size_t total) {
    std::string_view label = m_open_line.empty() ? std::string_view(m_status) : m_open_line;
    m_err << bar_line(label, done, total) << std::flush;
    m_bar_shown = true;
}

bool draws_bar_on(const std::ostream& err) {
    return &err == &std::cerr && isatty(STDERR_FILENO) == 1;
}

core::Answer ScreenPrompter::ask(const core::Message& message) {
    m_progress.clear_bar();
    return m_inner.ask(message);
}

} // namespace cli
