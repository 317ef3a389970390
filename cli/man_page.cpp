#include <sstream>

#include "completion.h"

namespace cli {
namespace {

constexpr std::string_view kExitStatus = "Exit status: ";

// Text as roff shows it: backslashes and dashes escaped, no line taken for a request.
std::string roff(std::string_view text) {
    std::string out;
    bool line_start = true;
    for (char c : text) {
        if (line_start && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        line_start = c == '\n';
    }
    return out;
}

std::string bold(std::string_view text) {
    return "\\fB" + roff(text) + "\\fR";
}

std::string italic(std::string_view text) {
    return "\\fI" + roff(text) + "\\fR";
}

// The lines of a footer but the exit statuses, which get a section of their own.
std::string without_exit_status(const std::string& footer) {
    std::istringstream lines(footer);
    std::string text, line;
    while (std::getline(lines, line))
        if (!line.starts_with(kExitStatus))
            text += (text.empty() ? "" : "\n.PP\n") + roff(line);
    return text;
}

void write_options(std::ostream& out, const std::vector<OptionInfo>& options) {
    for (const auto& option : options) {
        out << ".TP\n";
        for (std::size_t i = 0; i < option.names.size(); ++i)
            out << (i ? ", " : "") << bold(option.names[i]);
        if (!option.value.empty())
            out << ' ' << italic(option.value);
        out << '\n' << roff(option.description) << '\n';
    }
}

void write_command(std::ostream& out, const CommandInfo& command) {
    if (command.commands.empty()) {
        std::string words;
        for (const auto& word : command.words)
            words += (words.empty() ? "" : " ") + word;
        out << ".SS \"" << roff(words) << "\"\n" << bold("zelkon-cli " + words);
        if (!command.options.empty())
            out << " [" << italic("OPTIONS") << "]";
        for (const auto& argument : command.arguments)
            out << ' ' << italic(argument.value);
        out << "\n.PP\n" << roff(command.description) << '\n';
        if (auto footer = without_exit_status(command.footer); !footer.empty())
            out << ".PP\n" << footer << '\n';
        write_options(out, command.options);
    }
    for (const auto& sub : command.commands)
        write_command(out, sub);
}

// "Exit status: 0 done; 1 a file...": one tagged paragraph per status.
void write_exit_status(std::ostream& out, const std::string& footer) {
    auto start = footer.find(kExitStatus);
    if (start == std::string::npos)
        return;
    std::string statuses = footer.substr(start + kExitStatus.size());
    statuses = statuses.substr(0, statuses.find('\n'));
    out << ".SH \"EXIT STATUS\"\n";
    std::istringstream items(statuses);
    std::string item;
    while (std::getline(items, item, ';')) {
        item.erase(0, item.find_first_not_of(' '));
        auto space = item.find(' ');
        out << ".TP\n"
            << bold(item.substr(0, space)) << '\n'
            << roff(item.substr(space + 1)) << '\n';
    }
}

} // namespace

std::string man_page(const CLI::App& app, std::string_view version) {
    const CommandInfo program = describe(app);
    std::ostringstream out;
    out << ".TH ZELKON\\-CLI 1 \"\" \"zelkon\\-cli " << roff(version) << "\" \"User Commands\"\n"
        << ".SH NAME\nzelkon\\-cli \\- identify, rename and sort emulator ROM files by CRC32\n"
        << ".SH SYNOPSIS\n"
        << bold("zelkon-cli") << " [" << italic("OPTIONS") << "] " << italic("COMMAND") << " ["
        << italic("ARGUMENTS") << "]\n"
        << ".SH DESCRIPTION\n"
        << roff(program.description) << "\n.PP\n"
        << without_exit_status(program.footer) << '\n'
        << ".PP\nThe options below hold for every command and may be given before or after it.\n"
        << ".SH OPTIONS\n";
    write_options(out, program.options);
    out << ".SH COMMANDS\n";
    for (const auto& command : program.commands)
        write_command(out, command);
    write_exit_status(out, program.footer);
    return out.str();
}

} // namespace cli
