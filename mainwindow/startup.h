#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rdbs.h"
#include "result.h"

namespace mainwindow {

/// The main window's caption, which is also the version the about window is shown for.
inline constexpr const char* kCaption = "Zelkon 1.30";
/// Window metrics are kept in twips so that existing settings files keep their meaning.
inline constexpr int kTwipsPerPixel = 15;

/// A window's position and size in twips.
struct Placement {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

/// Every function below reads or writes section "general" of `settings_file` (the home's
/// settings file when empty).

/// The stored placement, each value defaulting to `current`'s, then clamped against the
/// screen: a left or top beyond the screen becomes 0, a width or height larger than the
/// screen becomes the screen's (equal values and positions left of or above it are kept).
Placement restore_placement(const Placement& current, double screen_width, double screen_height,
                            const std::filesystem::path& settings_file = {});

/// The entry to select at start-up: the last whose id equals `LastSystem` exactly, else
/// the first; none without systems.
std::optional<std::size_t> start_system(const std::vector<core::SystemEntry>& systems,
                                        const std::filesystem::path& settings_file = {});

/// True when the about window is due: `version` differs from `caption`. `version` is
/// written with `caption` in every case.
bool about_due(std::string_view caption, const std::filesystem::path& settings_file = {});

/// True unless the key (`Toolbar`, `Statusbar`) holds "0".
bool bar_shown(std::string_view key, const std::filesystem::path& settings_file = {});

/// What shut-down saves.
struct ShutdownState {
    /// The selected system's id; none when no system is listed, which leaves `LastSystem`
    /// as it was.
    std::optional<std::string> last_system;
    int window_state = 0; ///< 0 normal, 1 minimised, 2 maximised
    Placement normal;     ///< the normal (not minimised or maximised) window's
    bool toolbar = true;
    bool statusbar = true;
};

/// Writes the shut-down keys in one replacement of the file. A value that cannot be stored
/// is lost alone: the others are still written.
core::Status save_shutdown(const ShutdownState& state,
                           const std::filesystem::path& settings_file = {});

/// The status bar's file count: "0 Files", "1 File", "12 Files".
std::string file_count_text(std::size_t count);

/// `txtFolder`'s text: a blank, then the folder with one trailing separator; "" when the
/// list shows no file-system folder.
std::string folder_text(std::string_view folder);

} // namespace mainwindow
