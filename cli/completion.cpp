#include "completion.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>

namespace cli {
namespace {

OptionInfo option_info(const CLI::Option& option) {
    OptionInfo info{{}, {}, option.get_description()};
    for (const auto& name : option.get_snames())
        info.names.push_back("-" + name);
    for (const auto& name : option.get_lnames())
        info.names.push_back("--" + name);
    if (option.get_type_size_max() > 0)
        info.value = option.get_type_name();
    return info;
}

CommandInfo describe_level(const CLI::App& app, std::vector<std::string> words) {
    CommandInfo info{words, app.get_description(), app.get_footer(), {}, {}, {}};
    for (const auto* option : app.get_options()) {
        if (option->get_group().empty())
            continue; // hidden
        if (option->get_positional())
            info.arguments.push_back(
                {{option->get_name()}, option->get_name(), option->get_description()});
        else
            info.options.push_back(option_info(*option));
    }
    for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        auto sub_words = words;
        sub_words.push_back(sub->get_name());
        info.commands.push_back(describe_level(*sub, sub_words));
    }
    return info;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

void each_level(const CommandInfo& level, const std::function<void(const CommandInfo&)>& visit) {
    visit(level);
    for (const auto& sub : level.commands)
        each_level(sub, visit);
}

// Shell text the shell reads back as `text` inside single quotes.
std::string shell_quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

/// What both shells need: per level (its words joined by spaces) the commands, the options,
/// the options that take a value, and whether it takes paths as arguments.
struct Level {
    std::string path;
    std::vector<const CommandInfo*> commands;
    std::vector<const OptionInfo*> options;
    bool files = false;
};

bool has_name(const std::vector<const OptionInfo*>& options, const std::string& name) {
    return std::any_of(options.begin(), options.end(), [&name](const OptionInfo* option) {
        return std::find(option->names.begin(), option->names.end(), name) != option->names.end();
    });
}

std::vector<Level> levels(const CommandInfo& program) {
    std::vector<Level> result;
    each_level(program, [&](const CommandInfo& level) {
        Level entry{joined(level.words), {}, {}, !level.arguments.empty()};
        // `help COMMAND` names the program's commands.
        const bool help = level.words == std::vector<std::string>{"help"};
        for (const auto& sub : (help ? program : level).commands)
            entry.commands.push_back(&sub);
        entry.files = entry.files && !help;
        for (const auto& option : level.options)
            entry.options.push_back(&option);
        if (!level.words.empty())
            for (const auto& option : program.options)
                if (!has_name(entry.options, option.names.back()))
                    entry.options.push_back(&option);
        result.push_back(std::move(entry));
    });
    return result;
}

// The case arms of `valued PATH WORD`: the options of each level that take a value.
std::string valued_arms(const std::vector<Level>& all) {
    std::string arms;
    for (const auto& level : all)
        for (const auto* option : level.options)
            if (!option->value.empty())
                for (const auto& name : option->names)
                    arms += "        " + shell_quoted(level.path + "|" + name) + ") return 0 ;;\n";
    return arms;
}

std::string files_arms(const std::vector<Level>& all) {
    std::string arms;
    for (const auto& level : all)
        if (level.files)
            arms += (arms.empty() ? "" : "|") + shell_quoted(level.path);
    return arms.empty() ? "''" : arms;
}

// The part both shells share: the shell functions `valued` and `files`, then the walk over
// the words before the cursor that finds the command level ($level).
std::string shared_functions(const std::string& prefix, const std::vector<Level>& all) {
    return prefix + "_valued() {\n    case \"$1|$2\" in\n" + valued_arms(all) +
           "    esac\n    return 1\n}\n\n" + prefix + "_files() {\n    case \"$1\" in\n        " +
           files_arms(all) + ") return 0 ;;\n    esac\n    return 1\n}\n\n";
}

std::string bash_words(const std::vector<Level>& all, bool options) {
    std::string arms;
    for (const auto& level : all) {
        std::string words;
        if (options) {
            for (const auto* option : level.options)
                for (const auto& name : option->names)
                    words += (words.empty() ? "" : " ") + name;
        } else {
            for (const auto* command : level.commands)
                words += (words.empty() ? "" : " ") + command->words.back();
        }
        arms += "        " + shell_quoted(level.path) + ") echo " + shell_quoted(words) + " ;;\n";
    }
    return arms;
}

// clang-format off
constexpr const char* kBashMain = R"sh(_zelkon_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local level="" word i
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $word == -* ]]; then
            _zelkon_cli_valued "$level" "$word" && ((i++))
        elif [[ " $(_zelkon_cli_commands "$level") " == *" $word "* ]]; then
            level=${level:+$level }$word
        fi
    done
    if [[ $cur != -* ]] && _zelkon_cli_valued "$level" "$prev"; then
        if [[ $prev == --system ]]; then
            COMPREPLY=($(compgen -W "$(zelkon-cli systems 2>/dev/null | cut -f1)" -- "$cur"))
        else
            COMPREPLY=($(compgen -f -- "$cur"))
        fi
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_zelkon_cli_options "$level")" -- "$cur"))
    else
        COMPREPLY=($(compgen -W "$(_zelkon_cli_commands "$level")" -- "$cur"))
        _zelkon_cli_files "$level" && COMPREPLY+=($(compgen -f -- "$cur"))
    fi
    return 0
}
complete -o filenames -F _zelkon_cli zelkon-cli
)sh";
// clang-format on

// A zsh _describe entry "name:description", the colons of the name escaped.
std::string zsh_entry(const std::string& name, const std::string& description) {
    std::string escaped;
    for (char c : name)
        escaped += c == ':' ? std::string("\\:") : std::string(1, c);
    return shell_quoted(escaped + ":" + description);
}

std::string zsh_level_arms(const std::vector<Level>& all) {
    std::string arms;
    for (const auto& level : all) {
        arms += "        " + shell_quoted(level.path) + ")\n            zc_commands=(";
        for (const auto* command : level.commands)
            arms += "\n                " + zsh_entry(command->words.back(), command->description);
        arms += ")\n            zc_options=(";
        for (const auto* option : level.options)
            for (const auto& name : option->names)
                arms += "\n                " + zsh_entry(name, option->description);
        arms += ") ;;\n";
    }
    return arms;
}

// clang-format off
constexpr const char* kZshMain = R"sh(_zelkon-cli() {
    local level="" word i prev=${words[CURRENT-1]}
    local -a zc_commands zc_options ids
    for ((i = 2; i < CURRENT; i++)); do
        word=${words[i]}
        if [[ $word == -* ]]; then
            _zelkon-cli_valued "$level" "$word" && ((i++))
        else
            _zelkon-cli_level "$level"
            [[ -n ${(M)zc_commands:#${(b)word}:*} ]] && level=${level:+$level }$word
        fi
    done
    if [[ $PREFIX != -* ]] && _zelkon-cli_valued "$level" "$prev"; then
        if [[ $prev == --system ]]; then
            ids=(${(f)"$(zelkon-cli systems 2>/dev/null | cut -f1)"})
            compadd -a ids
        else
            _files
        fi
        return
    fi
    _zelkon-cli_level "$level"
    if [[ $PREFIX == -* ]]; then
        _describe -t options option zc_options
    else
        _describe -t commands command zc_commands
        _zelkon-cli_files "$level" && _files
    fi
}

_zelkon-cli "$@"
)sh";
// clang-format on

} // namespace

CommandInfo describe(const CLI::App& app) {
    return describe_level(app, {});
}

std::string bash_completion(const CLI::App& app) {
    const CommandInfo program = describe(app);
    const auto all = levels(program);
    return "# bash completion for zelkon-cli, made by zelkon-cli from its own options\n\n" +
           shared_functions("_zelkon_cli", all) + "_zelkon_cli_commands() {\n    case \"$1\" in\n" +
           bash_words(all, false) + "    esac\n}\n\n_zelkon_cli_options() {\n    case \"$1\" in\n" +
           bash_words(all, true) + "    esac\n}\n\n" + kBashMain;
}

std::string zsh_completion(const CLI::App& app) {
    const CommandInfo program = describe(app);
    const auto all = levels(program);
    return "#compdef zelkon-cli\n# zsh completion for zelkon-cli, made by zelkon-cli from its "
           "own options\n\n" +
           shared_functions("_zelkon-cli", all) +
           "# Sets $zc_commands and $zc_options to those of a level.\n_zelkon-cli_level() {\n"
           "    case \"$1\" in\n" +
           zsh_level_arms(all) + "    esac\n}\n\n" + kZshMain;
}

} // namespace cli
