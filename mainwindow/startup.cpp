#include "startup.h"

#include <cstdlib>

#include "settings.h"

namespace mainwindow {
namespace {

constexpr const char* kGeneral = "general";

double read_metric(std::string_view key, double fallback, const std::filesystem::path& file) {
    const std::string text = core::read_setting(kGeneral, key, fallback, file).text();
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    // A value that is no number keeps the window's own.
    return (end == text.c_str()) ? fallback : value;
}

std::string metric_text(double value) {
    return core::SettingDefault(value).text();
}

} // namespace

Placement restore_placement(const Placement& current, double screen_width, double screen_height,
                            const std::filesystem::path& settings_file) {
    Placement p;
    p.left = read_metric("Left", current.left, settings_file);
    p.top = read_metric("Top", current.top, settings_file);
    p.width = read_metric("Width", current.width, settings_file);
    p.height = read_metric("Height", current.height, settings_file);
    if (p.left > screen_width)
        p.left = 0;
    if (p.top > screen_height)
        p.top = 0;
    if (p.width > screen_width)
        p.width = screen_width;
    if (p.height > screen_height)
        p.height = screen_height;
    return p;
}

std::optional<std::size_t> start_system(const std::vector<core::SystemEntry>& systems,
                                        const std::filesystem::path& settings_file) {
    if (systems.empty())
        return std::nullopt;
    const std::string last = core::read_setting(kGeneral, "LastSystem", "", settings_file).text();
    std::optional<std::size_t> chosen;
    if (!last.empty())
        for (std::size_t i = 0; i < systems.size(); ++i)
            if (systems[i].id == last)
                chosen = i; // with duplicates the last match wins
    return chosen ? chosen : std::optional<std::size_t>(0);
}

bool about_due(std::string_view caption, const std::filesystem::path& settings_file) {
    const bool due = core::read_setting(kGeneral, "version", "", settings_file) != caption;
    (void)core::write_setting(kGeneral, "version", caption, settings_file);
    return due;
}

bool bar_shown(std::string_view key, const std::filesystem::path& settings_file) {
    return core::read_setting(kGeneral, key, "1", settings_file) != "0";
}

core::Status save_shutdown(const ShutdownState& state, const std::filesystem::path& settings_file) {
    std::vector<core::SettingChange> changes;
    auto add = [&](const char* key, std::string value) {
        // A value the file cannot hold is dropped alone, so the rest is still saved.
        if (core::check_setting(kGeneral, key, value))
            changes.push_back({kGeneral, key, std::move(value)});
    };
    if (state.last_system)
        add("LastSystem", *state.last_system);
    add("WindowState", std::to_string(state.window_state));
    add("Left", metric_text(state.normal.left));
    add("Top", metric_text(state.normal.top));
    add("Width", metric_text(state.normal.width));
    add("Height", metric_text(state.normal.height));
    add("Toolbar", state.toolbar ? "1" : "0");
    add("StatusBar", state.statusbar ? "1" : "0");
    return core::write_settings(changes, settings_file);
}

std::string file_count_text(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " File" : " Files");
}

std::string folder_text(std::string_view folder) {
    if (folder.empty())
        return {};
    return " " + core::add_backslash(folder);
}

} // namespace mainwindow
