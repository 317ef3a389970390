#include "cli.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli_prompter.h"
#include "commands.h"
#include "context.h"

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

std::vector<char*> make_argv(std::vector<std::string>& storage) {
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (auto& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

} // namespace

int run_cli(const std::vector<std::string>& args, const Environment& env) {
    CLI::App app{"Zelkon identifies, renames and sorts emulator ROM files by CRC32 against "
                 "per-system ROM databases. rename, sort and unsort change files; each such run "
                 "can be undone once with undo, and --dry-run shows what it would do.",
                 "zelkon-cli"};
    app.require_subcommand(1);
    app.footer("Questions (a missing folder, a confirmation) are answered no unless --yes is "
               "given; an existing file is replaced only with rename --replace.\n"
               "Exit status: 0 done; 1 a file could not be read, or an item was not carried "
               "out, or the run was refused; 2 bad usage, unknown system or missing folder; "
               "3 libzelcore.so missing; 130 stopped by Ctrl-C.");
    std::string home;
    bool assume_yes = false;
    bool assume_no = false;
    bool no_cache = false;
    app.add_option("--home", home,
                   "The home folder (zelkon.ini and databases/); default: $ZELKON_HOME, the "
                   "program's folder when portable, else $XDG_DATA_HOME/zelkon");
    app.add_flag("--no-cache", no_cache,
                 "Read every file anew: neither use nor update the cache of checksums in the "
                 "home");
    auto* yes = app.add_flag("--yes", assume_yes, "Answer yes to every question");
    app.add_flag("--no", assume_no, "Answer no to every question (also the default)")
        ->excludes(yes);

    Context ctx{env.out, env.err, nullptr, {}, nullptr};
    std::vector<Command> commands{
        add_systems_command(app, ctx), add_info_command(app, ctx),   add_identify_command(app, ctx),
        add_rename_command(app, ctx),  add_sort_command(app, ctx),   add_unsort_command(app, ctx),
        add_undo_command(app, ctx),    add_update_command(app, ctx), add_news_command(app, ctx),
        add_publish_command(app, ctx), add_import_command(app, ctx), add_cache_command(app, ctx),
        add_scan_command(app, ctx)};

    std::vector<std::string> storage{"zelkon-cli"};
    storage.insert(storage.end(), args.begin(), args.end());
    auto argv = make_argv(storage);
    try {
        app.parse(static_cast<int>(storage.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e, env.out, env.err);
        return code == 0 ? kExitOk : kExitUsage;
    }

    ctx.no_cache = no_cache;
    CliPrompter prompter(env.err, assume_yes ? Said::Yes : assume_no ? Said::No : Said::Nothing);
    ctx.prompter = &prompter;

    auto services = core::Services::open(
        {.home = home, .zelcore_folder = env.zelcore_folder, .use_cache = !no_cache, .cache_file = {}});
    if (!services) {
        ctx.error(services.error().message);
        return kExitNoLibrary;
    }
    ctx.services = &*services;
    ctx.home = services->home();

    for (auto& command : commands)
        if (command.sub->parsed())
            command.run();
    ctx.close_cache();
    env.out.flush();
    return ctx.exit_code;
}

} // namespace cli
