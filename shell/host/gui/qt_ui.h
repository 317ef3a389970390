#pragma once

#include "host_ui.h"

namespace zelshell {

/// The host on a desktop: message boxes, the page in a window, the database from a list.
class QtUi final : public HostUi {
public:
    core::Answer ask(const core::Message& message) override;
    void report_error(const std::string& text) override;
    void show_page(HPROPSHEETPAGE page) override;
    std::optional<std::filesystem::path>
    choose_database(const std::vector<DatabaseChoice>& choices) override;
};

} // namespace zelshell
