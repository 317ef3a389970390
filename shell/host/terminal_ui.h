#pragma once

#include <iosfwd>

#include "host_ui.h"

namespace zelshell {

/// The host without a display: messages as lines (results on stdout, errors on stderr),
/// an OK/Cancel question asked on a terminal and answered OK without one (the questions
/// only let the user know), the page as text, a database chosen by number.
class TerminalUi final : public HostUi {
public:
    TerminalUi(std::istream& in, std::ostream& out, std::ostream& err, bool interactive)
        : m_in(in), m_out(out), m_err(err), m_interactive(interactive) {}

    core::Answer ask(const core::Message& message) override;
    void report_error(const std::string& text) override;
    void show_page(HPROPSHEETPAGE page) override;
    std::optional<std::filesystem::path>
    choose_database(const std::vector<DatabaseChoice>& choices) override;

private:
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_interactive;
};

} // namespace zelshell
