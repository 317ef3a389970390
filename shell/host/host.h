#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "host_ui.h"
#include "shell_library.h"

namespace zelshell {

/// Exit statuses of zelshell.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; ///< the library's call failed; the reason is on stderr
inline constexpr int kExitUsage = 2;  ///< arguments that name nothing to work on

/// Plays the file manager: builds the data object of a selection or a drop, asks the class
/// factory for the class, and calls its interfaces in the order a file manager calls them.
/// The library's message boxes and pages go to `ui`.
class Host {
public:
    Host(const ShellLibrary& shell, HostUi& ui, std::ostream& out, std::ostream& err);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    /// The context menu's command on the selected files.
    int update(const std::vector<std::string>& files);
    /// The info tip of a database: its text, or with `machine` one JSON object.
    int tip(const std::string& file, bool machine);
    /// The "ROM Database" page of the first database among `files`.
    int properties(const std::vector<std::string>& files, bool machine);
    /// Files dropped onto a database.
    int drop(const std::string& database, const std::vector<std::string>& files);
    /// A drop whose database is the .zdb among `files`, else one the user chooses from the
    /// home's databases.
    int drop_choosing(const std::vector<std::string>& files);
    int register_server(const std::optional<std::filesystem::path>& launcher_folder);
    int unregister_server();

private:
    int failure(HRESULT hr);
    int registration_done(HRESULT hr, const char* done);
    void print_machine_page(const std::string& file, HPROPSHEETPAGE page);
    int usage(const std::string& text);
    void set_site(const char* launcher_folder);

    const ShellLibrary& m_shell;
    HostUi& m_ui;
    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_program;
};

/// The first path with the extension .zdb; "" when none has it.
std::string first_database(const std::vector<std::string>& paths);
/// The readable databases of the home's databases/ folder, by long name.
std::vector<DatabaseChoice> home_databases();

/// The host's message-box entry for the library's site: MB_ flags to a message and back.
int host_message_box(void* ui, const char* text, const char* title, std::uint32_t type);

/// The info tip's lines as fields: "System: ", "Credit To: ", "Version: ", a blank line,
/// then the notes.
struct TipFields {
    std::string system, credit, version, notes;
};
TipFields parse_tip(const std::string& tip);

} // namespace zelshell
