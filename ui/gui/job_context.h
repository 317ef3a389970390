#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "qt_prompter.h"
#include "rdbs.h"

namespace core {
class Services;
}

namespace ui {

/// What a job window (rename, collection lists, settings, database list) needs from the
/// program around it: the main window fills it and hands it to each window it opens, and
/// the windows hand it on to the windows they open. Tests fill it themselves.
///
/// UI thread only. The pointers belong to the main window and outlive every job window.
struct JobContext {
    core::Services* services = nullptr;
    /// The listed databases; the database list adds the ones it has just downloaded.
    std::vector<core::SystemEntry>* systems = nullptr;
    /// The selected system's index into `systems`, 1-based; 0 when none is selected.
    std::size_t current_system = 0;
    std::string current_folder; ///< with a trailing separator; "" when none
    std::string file_filter;    ///< the system's patterns and ";*.zip"
    /// The tab a settings window opens on; set by whoever opens one.
    int* settings_tab = nullptr;

    /// Brings the main window's views up to date after a run changed files.
    std::function<void()> refresh_views;
    /// Opens another job window modally by its name: "Rename ROMs", "ROM Lists",
    /// "System Settings", "General Settings", "Update All Databases".
    std::function<void(const QString& window)> open_window;
    /// Tells the main window that `systems` changed (a database was downloaded).
    std::function<void()> systems_changed;
    /// Shows a text file in the desktop's viewer; false when it could not.
    std::function<bool(const std::filesystem::path& file)> show_text;
    /// True when the computer has a connection (or the update server is on this machine).
    std::function<bool()> is_online;
    /// Shows the engines' questions; empty: message boxes. Tests put a recorder here.
    QtPrompter::Answerer answerer;

    const core::SystemEntry* system() const {
        return systems != nullptr && current_system != 0 ? &(*systems)[current_system - 1]
                                                         : nullptr;
    }
};

} // namespace ui
