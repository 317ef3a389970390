#include "registration_shims.h"

#include <algorithm>

#include "class_table.h"
#include "registration_embedded.h"
#include "registration_text.h"
#include "text.h"
#include "zdb.h"

namespace zelshell {
namespace {

namespace fs = std::filesystem;

/// How a file reads the host program's path.
enum class Quoting {
    None,         ///< the file runs nothing
    DesktopEntry, ///< an Exec line of the Desktop Entry rules (Dolphin, Caja, PCManFM-Qt)
    Shell,        ///< a key-file value that Nemo splits as a shell would
    Python,       ///< a Python bytes literal
};

struct Shim {
    const char* source; ///< in shell/shims/ or data/
    const char* target; ///< below the data home
    Quoting quoting;
    mode_t mode;
};

// Dolphin runs an ordinary user's service menu only when the file is executable.
constexpr Shim kShims[] = {
    {"zelkon-zdb.xml", kMimePackage, Quoting::None, 0644},
    {"application-x-zelkon-zdb.svg",
     "icons/hicolor/scalable/mimetypes/application-x-zelkon-zdb.svg", Quoting::None, 0644},
    {"dolphin-zdb.desktop", "kio/servicemenus/zelkon-zdb.desktop", Quoting::DesktopEntry, 0755},
    {"dolphin-rename.desktop", "kio/servicemenus/zelkon-rename.desktop", Quoting::DesktopEntry,
     0755},
    {"nautilus-extension.py", "nautilus-python/extensions/zelkon_shell.py", Quoting::Python, 0644},
    {"nemo-update.nemo_action", "nemo/actions/zelkon-update.nemo_action", Quoting::Shell, 0644},
    {"nemo-properties.nemo_action", "nemo/actions/zelkon-properties.nemo_action", Quoting::Shell,
     0644},
    {"nemo-rename.nemo_action", "nemo/actions/zelkon-rename.nemo_action", Quoting::Shell, 0644},
    {"actions-update.desktop", "file-manager/actions/zelkon-update.desktop", Quoting::DesktopEntry,
     0644},
    {"actions-properties.desktop", "file-manager/actions/zelkon-properties.desktop",
     Quoting::DesktopEntry, 0644},
    {"actions-rename.desktop", "file-manager/actions/zelkon-rename.desktop", Quoting::DesktopEntry,
     0644},
    {"application.desktop", kApplicationEntry, Quoting::DesktopEntry, 0644},
};

std::string quoted_for(Quoting quoting, const std::string& argument) {
    switch (quoting) {
    case Quoting::DesktopEntry:
        return desktop_exec_argument(argument);
    case Quoting::Shell:
        return keyfile_value(shell_quoted(argument));
    case Quoting::Python:
        return python_bytes(argument);
    case Quoting::None:
        break;
    }
    return argument;
}

// The registry of a self-registering server, both ways: class id to program id and library,
// program id to class id.
std::string class_registry(const fs::path& library) {
    std::vector<ClassInfo> classes = class_table();
    std::sort(classes.begin(), classes.end(), [](const ClassInfo& a, const ClassInfo& b) {
        return std::string_view(a.name) < std::string_view(b.name);
    });
    std::string text = "; The classes of the file-manager library: class id, program id and the "
                       "library that serves them.\n";
    for (const ClassInfo& info : classes) {
        const std::string clsid = guid_text(info.clsid);
        const std::string progid = std::string("ZelkonShell.") + info.name;
        text += "\n[" + clsid + "]\nProgID=" + progid + "\nLibrary=" + library.string() +
                "\nThreadingModel=Apartment\n\n[" + progid + "]\nCLSID=" + clsid + "\n";
    }
    return text;
}

std::vector<fs::path> databases_in(const fs::path& folder) {
    std::vector<fs::path> databases;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && core::lower_extension(it->path().string()) == "zdb")
            databases.push_back(it->path());
    std::sort(databases.begin(), databases.end());
    return databases;
}

} // namespace

std::vector<WantedFile> shim_files(const RegistrationPlaces& places) {
    std::vector<WantedFile> files;
    files.push_back({places.data / "zelkon" / "zelshell" / "classes.ini",
                     class_registry(places.library), 0644});
    for (const Shim& shim : kShims) {
        const std::string host = quoted_for(shim.quoting, places.host.string());
        files.push_back({places.data / shim.target,
                         fill_template(embedded_file(shim.source), {{"@ZELSHELL@", host}}),
                         shim.mode});
    }
    return files;
}

std::string thunar_actions(const RegistrationPlaces& places) {
    const std::string host = xml_text(percent_doubled(shell_quoted(places.host.string())));
    return fill_template(embedded_file("thunar-actions.xml"), {{"@ZELSHELL@", host}});
}

std::vector<WantedFile> launcher_files(const RegistrationPlaces& places, const fs::path& folder,
                                       const fs::path& databases,
                                       std::vector<std::string>& notices) {
    std::vector<WantedFile> files;
    const std::string host = desktop_exec_argument(places.host.string());
    const std::vector<fs::path> found = databases_in(databases);
    if (found.empty())
        notices.push_back("No launchers were written: " + core::quoted(databases) +
                          " holds no database.");
    for (const fs::path& database : found) {
        const core::ZdbHeader header = core::load_zdb(database, core::kZdbHeaderOnly);
        if (!header.usable() || has_control_character(database.string())) {
            notices.push_back("No launcher for " + core::quoted(database) + ": " +
                              (header.usable() ? "its path holds a line break" : header.error));
            continue;
        }
        const std::string stem = database.stem().string();
        std::string name(core::trim_spaces(header.long_name));
        const std::string title = "Rename with " + (name.empty() ? stem : name) + " database";
        files.push_back({folder / ("zelkon-rename-" + stem + ".desktop"),
                         fill_template(embedded_file("launcher.desktop"),
                                       {{"@ZELSHELL@", host},
                                        {"@DATABASE@", desktop_exec_argument(database.string())},
                                        {"@NAME@", keyfile_value(title)}}),
                         0755});
    }
    return files;
}

} // namespace zelshell
