#include "cli.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli_prompter.h"
#include "commands.h"
#include "completion.h"
#include "context.h"
#include "terminal_progress.h"

#ifndef ZELKON_VERSION
#define ZELKON_VERSION "unknown"
#endif

namespace cli {

void Context::error(const std::string& text) const {
    err << "zelkon-cli: " << text << '\n';
}

core::HashCache* Context::hash_cache() {
    auto* cache = services->cache();
    report_notices();
    return cache;
}

void Context::report_notices() {
    for (const auto& line : services->take_notices())
        error(line);
}

void Context::close_cache() {
    services->close_cache();
    report_notices();
}

namespace {

constexpr const char* kExitStatus =
    "Exit status: 0 done; 1 a file could not be read, or an item was not carried out, or the "
    "run was refused; 2 bad usage, unknown system or missing folder; 3 libzelcore.so missing; "
    "130 stopped by Ctrl-C.";

/// The options that hold for every command, given before or after it.
struct GlobalOptions {
    std::string home;
    bool yes = false;
    bool no = false;
    bool no_cache = false;
    bool quiet = false;
    bool verbose = false;
    bool bell = false;
    std::string generate;           ///< the hidden --generate: bash, zsh or man
    std::vector<std::string> topic; ///< `help COMMAND...`
    CLI::App* help = nullptr;
};

void add_global_options(CLI::App& app, GlobalOptions& g) {
    app.add_option("--home", g.home,
                   "The home folder (zelkon.ini and databases/); default: $ZELKON_HOME, the "
                   "program's folder when portable, else $XDG_DATA_HOME/zelkon")
        ->type_name("DIR");
    app.add_flag("--no-cache", g.no_cache,
                 "Read every file anew: neither use nor update the cache of checksums in the "
                 "home");
    auto* yes = app.add_flag("-y,--yes", g.yes, "Answer yes to every question");
    app.add_flag("--no", g.no, "Answer no to every question (the default without a terminal)")
        ->excludes(yes);
    auto* quiet = app.add_flag("-q,--quiet", g.quiet, "Print the results only on stdout");
    app.add_flag("-v,--verbose", g.verbose, "Log each file of a run that changes files")
        ->excludes(quiet);
    app.add_flag("--bell", g.bell, "Ring the terminal bell when a long run ends");
    app.set_version_flag("--version", "zelkon-cli " ZELKON_VERSION, "Show the version");
    app.add_option_function<std::string>(
           "--generate",
           [&g](const std::string& kind) {
               g.generate = kind;
               throw CLI::Success();
           },
           "Write the bash or zsh completion or the man page on stdout")
        ->check(CLI::IsMember({"bash", "zsh", "man"}))
        ->group(""); // for the build, not for users
}

CLI::App* add_help_command(CLI::App& app, GlobalOptions& g) {
    auto* sub = app.add_subcommand("help", "Show the help of the program or of a command");
    sub->add_option("COMMAND", g.topic, "A command, and its sub-command if it has any");
    return sub;
}

/// Every command's help ends with the exit statuses.
void add_exit_status_footer(CLI::App& app) {
    for (auto* sub : app.get_subcommands([](CLI::App*) { return true; })) {
        const std::string footer = sub->get_footer();
        if (footer.find(kExitStatus) == std::string::npos)
            sub->footer(footer.empty() ? kExitStatus : footer + "\n" + kExitStatus);
        add_exit_status_footer(*sub);
    }
}

void describe_program(CLI::App& app) {
    app.set_help_flag("-h,--help", "Show this help");
    app.require_subcommand(1);
    // Options of the program work after a command too: `rename DIR --yes`.
    app.fallthrough();
    app.footer("On a terminal each question (a missing folder, a confirmation) is asked; "
               "otherwise it is answered no unless --yes is given. An existing file is "
               "replaced only with rename --replace.\n" +
               std::string(kExitStatus));
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return "zelkon-cli: " + std::string(e.what()) + "\nRun with --help for more information.\n";
    });
}

/// "cache stats" when the user named a command that is not there; empty otherwise.
std::string unknown_command(const CLI::App& app) {
    const CLI::App* level = &app;
    std::string words;
    while (!level->get_subcommands().empty()) {
        level = level->get_subcommands().front();
        words += level->get_name() + " ";
    }
    const auto rest = app.remaining(true);
    if (level->get_require_subcommand_min() == 0 || rest.empty() || rest.front().starts_with("-"))
        return {};
    return words + rest.front();
}

int parse_failed(const CLI::App& app, const CLI::ParseError& e, const Environment& env) {
    if (e.get_exit_code() != 0) {
        if (auto name = unknown_command(app); !name.empty()) {
            env.err << "zelkon-cli: unknown command '" << name
                    << "'\nRun with --help for the commands.\n";
            return kExitUsage;
        }
    }
    int code = app.exit(e, env.out, env.err);
    return code == 0 ? kExitOk : kExitUsage;
}

/// `help [COMMAND...]`: what --help after that command shows.
int show_help(const CLI::App& app, const std::vector<std::string>& topic, const Environment& env) {
    const CLI::App* level = &app;
    std::string prefix, named;
    for (const auto& word : topic) {
        named += (named.empty() ? "" : " ") + word;
        auto found =
            level->get_subcommands([&word](const CLI::App* sub) { return sub->check_name(word); });
        if (found.empty()) {
            env.err << "zelkon-cli: unknown command '" << named << "'\n";
            return kExitUsage;
        }
        prefix += (prefix.empty() ? "" : " ") + level->get_name();
        level = found.front();
    }
    env.out << (level == &app ? app.help() : level->help(prefix));
    return kExitOk;
}

int generate(const CLI::App& app, const std::string& kind, const Environment& env) {
    if (kind == "bash")
        env.out << bash_completion(app);
    else if (kind == "zsh")
        env.out << zsh_completion(app);
    else
        env.out << man_page(app, ZELKON_VERSION);
    return kExitOk;
}

std::vector<char*> make_argv(std::vector<std::string>& storage) {
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (auto& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

void apply(const GlobalOptions& g, Context& ctx) {
    ctx.no_cache = g.no_cache;
    ctx.quiet = g.quiet;
    ctx.verbose = g.verbose;
    ctx.bell = g.bell;
    ring_bell(g.bell);
}

int run_command(std::vector<Command>& commands, const GlobalOptions& g, Context& ctx,
                const Environment& env) {
    CliPrompter prompter(env.err,
                         g.yes  ? Said::Yes
                         : g.no ? Said::No
                                : Said::Nothing,
                         env.interactive ? env.in : nullptr);
    ctx.prompter = &prompter;
    auto services = core::Services::open({.home = g.home,
                                          .zelcore_folder = env.zelcore_folder,
                                          .use_cache = !g.no_cache,
                                          .cache_file = {}});
    if (!services) {
        ctx.error(services.error().message);
        return kExitNoLibrary;
    }
    ctx.services = &*services;
    ctx.home = services->home();
    ctx.report_notices();
    for (auto& command : commands)
        if (command.sub->parsed())
            command.run();
    ctx.close_cache();
    env.out.flush();
    return ctx.exit_code;
}

} // namespace

int run_cli(const std::vector<std::string>& args, const Environment& env) {
    CLI::App app{"Zelkon identifies, renames and sorts emulator ROM files by CRC32 against "
                 "per-system ROM databases. rename, sort and unsort change files; each such run "
                 "can be undone once with undo, and --dry-run shows what it would do.",
                 "zelkon-cli"};
    describe_program(app);
    GlobalOptions global;
    add_global_options(app, global);

    Context ctx{env.out, env.err, nullptr, {}, nullptr};
    std::vector<Command> commands{
        add_systems_command(app, ctx), add_info_command(app, ctx),   add_identify_command(app, ctx),
        add_rename_command(app, ctx),  add_sort_command(app, ctx),   add_unsort_command(app, ctx),
        add_undo_command(app, ctx),    add_update_command(app, ctx), add_news_command(app, ctx),
        add_publish_command(app, ctx), add_import_command(app, ctx), add_cache_command(app, ctx),
        add_scan_command(app, ctx)};
    global.help = add_help_command(app, global);
    add_exit_status_footer(app);

    std::vector<std::string> storage{"zelkon-cli"};
    storage.insert(storage.end(), args.begin(), args.end());
    auto argv = make_argv(storage);
    try {
        app.parse(static_cast<int>(storage.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        if (!global.generate.empty())
            return generate(app, global.generate, env);
        return parse_failed(app, e, env);
    }
    if (global.help->parsed())
        return show_help(app, global.topic, env);
    apply(global, ctx);
    return run_command(commands, global, ctx, env);
}

} // namespace cli
