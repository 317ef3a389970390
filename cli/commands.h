#pragma once

#include <functional>
#include <optional>
#include <string>

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

/// The FOLDER argument of the commands that change a folder: absolute, with a trailing
/// separator; the current folder when empty. A missing folder is told (exit status: usage).
std::optional<std::string> folder_argument(Context& ctx, const std::string& given);

/// After a question got the safe answer only because neither --yes nor --no was given,
/// prints `hint` on stderr.
void hint_when_declined_by_default(Context& ctx, const std::string& hint);

} // namespace cli
