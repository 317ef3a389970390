#pragma once

#include <functional>

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

} // namespace cli
