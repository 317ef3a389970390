#include "terminal_ui.h"

#include <istream>
#include <ostream>
#include <string>

#include "recorded_page.h"
#include "text.h"

namespace zelshell {

core::Answer TerminalUi::ask(const core::Message& message) {
    const std::string text = core::with_line_feeds(message.text);
    if (message.icon == core::Message::Icon::Critical) {
        m_err << "zelshell: " << message.title << ": " << text << "\n";
        return core::Answer::Ok;
    }
    m_out << text << "\n";
    if (message.buttons != core::Message::Buttons::OkCancel || !m_interactive)
        return core::Answer::Ok;
    m_out << "Go on? [Y/n] " << std::flush;
    std::string line;
    if (!std::getline(m_in, line))
        return core::Answer::Cancel;
    const std::string answer = core::to_lower_ascii(core::trim_spaces(line));
    return answer.empty() || answer == "y" || answer == "yes" || answer == "ok"
               ? core::Answer::Ok
               : core::Answer::Cancel;
}

void TerminalUi::report_error(const std::string& text) {
    m_err << "zelshell: " << text << "\n";
}

void TerminalUi::show_page(HPROPSHEETPAGE page) {
    RecordedPage recorded;
    fill_page(page, recorded);
    m_out << "Credit To: " << recorded.item(kCreditBox) << "\n"
          << "ROM Count: " << recorded.item(kCountBox) << "\n"
          << "Version: " << recorded.item(kVersionBox) << "\n\n";
    if (recorded.columns.size() == 2)
        m_out << recorded.columns[0] << "\t" << recorded.columns[1] << "\n";
    for (const auto& [crc, title] : recorded.rows)
        m_out << crc << "\t" << title << "\n";
}

std::optional<std::filesystem::path>
TerminalUi::choose_database(const std::vector<DatabaseChoice>& choices) {
    if (!m_interactive) {
        m_err << "zelshell: name the database to rename by: zelshell drop DATABASE FILE...\n";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < choices.size(); ++i)
        m_out << i + 1 << ". " << choices[i].long_name << " ("
              << choices[i].file.filename().string() << ")\n";
    m_out << "Rename by which database? [1-" << choices.size() << ", empty to cancel] "
          << std::flush;
    std::string line;
    if (!std::getline(m_in, line))
        return std::nullopt;
    try {
        const auto n = std::stoul(std::string(core::trim_spaces(line)));
        if (n >= 1 && n <= choices.size())
            return choices[n - 1].file;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace zelshell
