#pragma once

#include <cstddef>
#include <string_view>

namespace core {

/// The log box, progress bar and Stop button of a long operation.
/// Called from the thread that runs the operation.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void status(std::string_view text) = 0; ///< one user-facing status line
    virtual void log(std::string_view text) = 0;    ///< appended to the running log
    virtual void step(std::size_t done, std::size_t total) = 0;
    virtual void pump() {} ///< let the front end breathe
    virtual bool stop_requested() const { return false; }
    virtual void beep() {} ///< the sound at the end of a finished run
};

/// Shows nothing and never asks to stop.
Progress& null_progress();

} // namespace core
