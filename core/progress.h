#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace core {

/// The log box, progress bar and Stop button of a long operation.
///
/// Engines run on a worker thread, never on a window's thread, and call these from the
/// thread that runs the operation only. They never wait for the front end and never pump
/// its events: a window stores what it is told and repaints a few times a second, so a call
/// per file must stay cheap. stop_requested() is polled between items and inside long items
/// (a copy between chunks, a transfer at least once a second); whoever implements it may
/// set the flag from any thread.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void status(std::string_view text) = 0; ///< one user-facing status line
    virtual void log(std::string_view text) = 0;    ///< appended to the running log
    /// Log text that is the outcome of the run (its report, what failed and why) rather than
    /// the steps on the way; a front end that shows results only keeps just these.
    virtual void result(std::string_view text) { log(text); }
    virtual void step(std::size_t done, std::size_t total) = 0;
    /// Bytes of the transfer or copy under way; `total` is 0 when unknown.
    virtual void bytes(std::uint64_t done, std::uint64_t total) {
        (void)done;
        (void)total;
    }
    virtual bool stop_requested() const { return false; }
    virtual void beep() {} ///< the sound at the end of a finished run
};

/// Shows nothing and never asks to stop.
Progress& null_progress();

} // namespace core
