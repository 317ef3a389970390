#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "dat_import.h"
#include "terminal_progress.h"

namespace cli {
namespace {

// A system id or folder the command cannot use is a usage error, like an unknown system
// elsewhere; a database in the way, or a list that cannot make one, is a file error.
int exit_code_of(const update::ImportReport& report) {
    switch (report.end) {
    case core::End::Completed:
        return kExitOk;
    case core::End::Stopped:
        return kExitInterrupted;
    case core::End::Refused:
        return report.exists ? kExitFileError : kExitUsage;
    case core::End::Failed:
        break;
    }
    return kExitFileError;
}

void import(Context& ctx, update::ImportOptions options) {
    if (options.out_folder.empty()) {
        options.out_folder = ctx.home / "databases";
        options.make_out_folder = true;
    }
    TerminalProgress progress(ctx);
    const update::ImportReport report = update::import_dat(options, progress);
    progress.finish();
    for (const auto& warning : report.warnings)
        ctx.error(warning);
    for (const auto& problem : report.problems)
        ctx.error(problem.text());
    if (report.exists)
        ctx.error("add --force to replace it");
    ctx.out << report.summary;
    ctx.exit_code = exit_code_of(report);
}

} // namespace

Command add_import_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("import", "Make a database (DIR/ID.zdb) from a DAT file or a "
                                             "software list");
    sub->footer(
        "Every ROM with a CRC becomes an entry: a game with one ROM gets its description (else "
        "its name), a game with several gets one entry per ROM, 'title (ROM file)'. Names are "
        "made legal file names on Windows and Linux; ROMs without a CRC are skipped and counted. "
        "The database has format 3, or format 1 when the list gives second CRCs (crc2).");
    auto opt = std::make_shared<update::ImportOptions>();
    sub->add_option("FILE", opt->dat_file,
                    "The DAT file (Logiqx XML or ClrMamePro text) or software list")
        ->required();
    sub->add_option("--system", opt->system_id,
                    "The system id, also the database's file name; SGENESIS, TURBOGFX and "
                    "JAGUAR have identification rules of their own")
        ->required()
        ->type_name("ID");
    sub->add_option("--name", opt->long_name,
                    "The system's long name (default: the list's description or name)");
    sub->add_option("--version", opt->version,
                    "The database version (default: the list's version, else its date)");
    sub->add_option("--patterns", opt->patterns,
                    "File patterns such as \"*.bin;*.gen\" (default: the ROM files' "
                    "extensions)");
    sub->add_option("--skip", opt->header_skip,
                    "Leading bytes of every ROM file the CRC leaves out (default 0)")
        ->type_name("N");
    sub->add_option("--out", opt->out_folder,
                    "The folder to write ID.zdb into (default: databases/ in the home, made "
                    "when missing)")
        ->type_name("DIR");
    sub->add_flag("--force", opt->replace_existing, "Replace an existing ID.zdb");
    return {sub, [&ctx, opt] { import(ctx, *opt); }};
}

} // namespace cli
