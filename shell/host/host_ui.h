#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "prompter.h"
#include "shell_api.h"

namespace zelshell {

/// A database the user may rename files by.
struct DatabaseChoice {
    std::filesystem::path file;
    std::string long_name;
};

/// What the host shows a person: the library's message boxes, the property page, and the
/// choice of a database. Windows where there is a display, the terminal otherwise.
class HostUi {
public:
    virtual ~HostUi() = default;
    virtual core::Answer ask(const core::Message& message) = 0;
    /// Why a command could not be carried out. A file manager runs zelshell with no
    /// terminal: on a desktop this must be a window, or nobody would see it.
    virtual void report_error(const std::string& text) = 0;
    /// Shows a page the library handed over, until the user closes it.
    virtual void show_page(HPROPSHEETPAGE page) = 0;
    /// Nothing when the user chose none.
    virtual std::optional<std::filesystem::path>
    choose_database(const std::vector<DatabaseChoice>& choices) = 0;
};

} // namespace zelshell
