#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "progress.h"
#include "prompter.h"

namespace cli {

struct Context;

/// The log box, progress bar and Stop button of a long command on a terminal. The log
/// goes to `out` with line feeds for the engine's CR LF; the bar is drawn on `err` only
/// when asked (stderr is a terminal), at most ten times a second, and is taken off the
/// screen before anything else is printed and at the end. Ctrl-C is the Stop button.
/// With `results_only` (--quiet) the log keeps only the run's results, not its steps.
class TerminalProgress final : public core::Progress {
public:
    TerminalProgress(std::ostream& out, std::ostream& err, bool draw_bar,
                     bool results_only = false);
    /// On the command's streams, with the bar when stderr is a terminal, as --quiet says.
    explicit TerminalProgress(const Context& ctx);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void status(std::string_view text) override;
    void log(std::string_view text) override;
    void result(std::string_view text) override;
    void step(std::size_t done, std::size_t total) override;
    bool stop_requested() const override;
    void beep() override; ///< the terminal bell, only when asked for (ring_bell)

    /// Prints one line of our own on `out`, after any log text still held.
    void print_line(std::string_view line);
    /// Takes the bar off the screen; the next step draws it again.
    void clear_bar();
    /// Removes the bar and ends the log's last line.
    void finish();

private:
    void draw(std::size_t done, std::size_t total);
    void write_log(std::string_view text);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_draw_bar;
    bool m_results_only;
    bool m_bar_shown = false;
    bool m_pending_cr = false;
    bool m_mid_line = false; ///< the log text written last did not end its line
    std::string m_open_line; ///< log text after the last line end, held while a bar shows
    std::string m_status;
    std::chrono::steady_clock::time_point m_last_draw{};
};

/// Whether beep() rings the terminal bell (--bell); off unless a run turns it on.
void ring_bell(bool on);

/// True when the process's stderr is a terminal and `err` is that stderr, so that tests
/// and redirected runs never see a bar.
bool draws_bar_on(const std::ostream& err);

/// Passes every question on after taking the bar off the screen, so that a message never
/// lands in the middle of it.
class ScreenPrompter final : public core::Prompter {
public:
    ScreenPrompter(core::Prompter& inner, TerminalProgress& progress)
        : m_inner(inner), m_progress(progress) {}
    core::Answer ask(const core::Message& message) override;

private:
    core::Prompter& m_inner;
    TerminalProgress& m_progress;
};

} // namespace cli
