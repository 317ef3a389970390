// zelshell: loads libzelshell.so and plays the file manager for the commands, tips and
// pages that each file manager's shim asks of it.

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

#include <CLI/CLI.hpp>
#include <unistd.h>

#include "host.h"
#include "terminal_ui.h"

#ifdef ZELSHELL_WITH_QT
#include <QApplication>

#include "qt_ui.h"
#endif

namespace {

using namespace zelshell;

struct Arguments {
    bool terminal = false;
    bool machine = false;
    bool choose = false;
    bool do_register = false;
    bool do_unregister = false;
    std::optional<std::string> launchers;
    std::vector<std::string> files;
};

#ifdef ZELSHELL_WITH_QT
// A desktop to show windows on; the offscreen and minimal platforms are none.
bool has_display() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform) {
        const std::string_view p(platform);
        return p != "offscreen" && p != "minimal";
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}
#endif

int run(CLI::App& app, const Arguments& args, const ShellLibrary& shell, HostUi& ui) {
    Host host(shell, ui, std::cout, std::cerr);
    if (args.do_register)
        return host.register_server(args.launchers ? std::optional<std::filesystem::path>(
                                                         *args.launchers)
                                                   : std::nullopt);
    if (args.do_unregister)
        return host.unregister_server();
    const auto* command = app.get_subcommands().front();
    const std::string name = command->get_name();
    if (name == "update")
        return host.update(args.files);
    if (name == "tip")
        return host.tip(args.files.front(), args.machine);
    if (name == "properties")
        return host.properties(args.files, args.machine);
    if (args.choose)
        return host.drop_choosing(args.files);
    if (args.files.size() < 2) {
        ui.report_error("drop needs a database and at least one file");
        return kExitUsage;
    }
    return host.drop(args.files.front(), {args.files.begin() + 1, args.files.end()});
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Zelkon's file-manager integration: what the file managers' commands run."};
    app.footer("Exit status: 0 done, 1 the command failed (the reason is on stderr), "
               "2 bad arguments.");
    Arguments args;
    app.add_flag("--terminal", args.terminal, "Show messages on the terminal, never in a window");
    auto* reg = app.add_flag("--register", args.do_register,
                             "Add Zelkon's commands, tips and file type to the file managers");
    app.add_option("--launchers", args.launchers,
                   "With --register: write a launcher per database into DIR, to drop files on")
        ->type_name("DIR")
        ->needs(reg);
    app.add_flag("--unregister", args.do_unregister, "Remove all that --register wrote")
        ->excludes(reg);

    auto* update = app.add_subcommand("update", "Update the selected databases from the server");
    update->add_option("FILE", args.files, "Databases (.zdb)")->required();
    auto* tip = app.add_subcommand("tip", "Print a database's info tip");
    tip->add_flag("--machine", args.machine, "Print one JSON object");
    tip->add_option("FILE", args.files, "A database (.zdb)")->required()->expected(1);
    auto* properties = app.add_subcommand("properties", "Show a database's ROM Database page");
    properties->add_flag("--machine", args.machine, "Print one JSON object, without the ROM list");
    properties->add_option("FILE", args.files, "Files; the first database is shown")->required();
    auto* drop = app.add_subcommand("drop", "Rename files by a database, as if dropped onto it");
    drop->add_flag("--choose", args.choose,
                   "The database is the .zdb among FILEs, else one you choose from the home");
    drop->add_option("FILE", args.files, "DATABASE FILE... (or with --choose: FILE...)")
        ->required();
    app.require_subcommand(0, 1);
    CLI11_PARSE(app, argc, argv);
    if (!args.do_register && !args.do_unregister && app.get_subcommands().empty()) {
        std::cerr << app.help();
        return kExitUsage;
    }

    auto shell = ShellLibrary::load_beside_executable();
    if (!shell) {
        std::cerr << "zelshell: " << shell.error().message << "\n";
        return kExitFailed;
    }
#ifdef ZELSHELL_WITH_QT
    if (!args.terminal && !args.machine && has_display()) {
        QApplication qt(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Zelkon"));
        QtUi ui;
        return run(app, args, *shell, ui);
    }
#endif
    TerminalUi ui(std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) != 0);
    return run(app, args, *shell, ui);
}
