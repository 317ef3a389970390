#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

/// An option as its help shows it: its names ("-r", "--recursive"), the kind of value it
/// takes ("DIR"; empty for a flag) and what it does.
struct OptionInfo {
    std::vector<std::string> names;
    std::string value;
    std::string description;
};

/// The program or one of its commands, with the options and arguments the parser knows.
struct CommandInfo {
    std::vector<std::string> words; ///< "cache", "clear"; none for the program itself
    std::string description;
    std::string footer;
    std::vector<OptionInfo> options;
    std::vector<OptionInfo> arguments; ///< FILE, DIR...: the name is the value
    std::vector<CommandInfo> commands;
};

/// Reads the commands and options (hidden ones left out) off the parser.
CommandInfo describe(const CLI::App& app);

/// Bash and zsh completion scripts for zelkon-cli: the commands, each one's options (and
/// the program's, which hold after a command too), system ids after --system, files where
/// a value or an argument is a path.
std::string bash_completion(const CLI::App& app);
std::string zsh_completion(const CLI::App& app);

/// The manual page (man(7) macros): the program's options, every command, the exit statuses.
std::string man_page(const CLI::App& app, std::string_view version);

} // namespace cli
