#include <CLI/CLI.hpp>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "system_lookup.h"
#include "text.h"
#include "zdb.h"

namespace cli {
namespace {

// One field per line: line breaks inside a text become blanks.
std::string one_line(std::string text) {
    for (auto& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

void print_database(Context& ctx, const std::filesystem::path& file, bool with_roms) {
    core::RomTable roms;
    auto h = core::load_zdb(file, core::kZdbFull, &roms);
    if (!h.usable()) {
        ctx.error(h.error);
        ctx.exit_code = kExitFileError;
        return;
    }
    auto& out = ctx.out;
    out << "system: " << one_line(h.system_id) << '\n'
        << "name: " << one_line(h.long_name) << '\n'
        << "version: " << one_line(h.version) << '\n'
        << "credit: " << one_line(h.credit) << '\n'
        << "notes: " << one_line(h.notes) << '\n'
        << "patterns: " << one_line(h.patterns) << '\n'
        << "skip: " << h.number << '\n'
        << "crcs: " << h.crc_count << '\n'
        << "roms: " << roms.size() << '\n';
    if (with_roms)
        for (const auto& r : roms)
            out << r.crc.view() << '\t' << r.crc2.view() << '\t' << r.name << '\n';
    // What was read is shown, but a file that lost entries is a file problem all the same.
    if (!h.warning.empty()) {
        ctx.error(h.warning);
        ctx.exit_code = kExitFileError;
    }
}

} // namespace

Command add_info_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("info", "Show the header of a database (a path or a system id)");
    auto database = std::make_shared<std::string>();
    auto with_roms = std::make_shared<bool>(false);
    sub->add_option("DATABASE", *database, "A .zdb file or the id of a listed system")->required();
    sub->add_flag("--roms", *with_roms, "Also list every ROM: crc, crc2, name");
    return {sub, [&ctx, database, with_roms] {
                // Anything that looks like a file is one; a bare word is a system id.
                const bool path_like = database->find('/') != std::string::npos ||
                                       core::lower_extension(*database) == "zdb" ||
                                       std::filesystem::exists(*database);
                if (path_like) {
                    print_database(ctx, *database, *with_roms);
                } else if (auto system = find_system_or_complain(ctx, *database)) {
                    print_database(ctx, system->file, *with_roms);
                }
            }};
}

} // namespace cli
