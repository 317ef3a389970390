#pragma once

#include <functional>
#include <optional>
#include <string>

#include "rdbs.h"

namespace CLI {
class App;
}

namespace cli {

struct Context;

/// A command of the program: its sub-command and what runs once it was chosen and the
/// helper library is loaded.
struct Command {
    CLI::App* sub = nullptr;
    std::function<void()> run;
};

Command add_systems_command(CLI::App& app, Context& ctx);
Command add_info_command(CLI::App& app, Context& ctx);
Command add_identify_command(CLI::App& app, Context& ctx);
Command add_rename_command(CLI::App& app, Context& ctx);
Command add_sort_command(CLI::App& app, Context& ctx);
Command add_unsort_command(CLI::App& app, Context& ctx);
Command add_undo_command(CLI::App& app, Context& ctx);
Command add_update_command(CLI::App& app, Context& ctx);
/// `update check`, a sub-command of `update`.
Command add_update_check_command(CLI::App& update, Context& ctx);
Command add_news_command(CLI::App& app, Context& ctx);
Command add_publish_command(CLI::App& app, Context& ctx);
Command add_import_command(CLI::App& app, Context& ctx);
Command add_cache_command(CLI::App& app, Context& ctx);
Command add_scan_command(CLI::App& app, Context& ctx);

/// What a command that changes a folder works on: the system of --system and the FOLDER
/// argument (absolute, with a trailing separator; the current folder when empty).
struct FolderTarget {
    core::SystemEntry system;
    std::string folder;
    /// How the undo journal names a run of `verb` here: "rename SGENESIS '/roms/'".
    std::string describe(const std::string& verb) const;
};

/// Nothing after telling the user of an unknown system or a missing folder (exit status:
/// usage).
std::optional<FolderTarget> folder_target(Context& ctx, const std::string& system_id,
                                          const std::string& folder);

/// After a question got the safe answer only because neither --yes nor --no was given,
/// prints `hint` on stderr.
void hint_when_declined_by_default(Context& ctx, const std::string& hint);

} // namespace cli
