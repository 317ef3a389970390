#include <CLI/CLI.hpp>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "json_output.h"
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

void print_text(Context& ctx, const core::ZdbHeader& h, const core::RomTable& roms,
                bool with_roms) {
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
            out << r.crc.view() << '\t' << r.crc2.view() << '\t' << escaped(r.name) << '\n';
}

void print_json_header(Context& ctx, const core::ZdbHeader& h, const core::RomTable& roms,
                       bool with_roms) {
    Json doc = {{"system", h.system_id}, {"name", h.long_name}, {"version", h.version},
                {"credit", h.credit},    {"notes", h.notes},    {"patterns", h.patterns},
                {"skip", h.number},      {"crcs", h.crc_count}, {"rom_count", roms.size()}};
    if (with_roms) {
        Json list = Json::array();
        for (const auto& r : roms)
            list.push_back(
                {{"crc", r.crc.view()},
                 {"crc2", r.crc2 == core::CrcText::none() ? Json(nullptr) : Json(r.crc2.view())},
                 {"name", r.name}});
        doc["roms"] = std::move(list);
    }
    print_json(ctx.out, doc);
}

struct InfoOptions {
    std::string database;
    bool with_roms = false;
    bool json = false;
};

void print_database(Context& ctx, const std::filesystem::path& file, const InfoOptions& opt) {
    core::RomTable roms;
    auto h = core::load_zdb(file, core::kZdbFull, &roms);
    if (!h.usable()) {
        ctx.error(h.error);
        ctx.exit_code = kExitFileError;
        return;
    }
    if (opt.json)
        print_json_header(ctx, h, roms, opt.with_roms);
    else
        print_text(ctx, h, roms, opt.with_roms);
    // What was read is shown, but a file that lost entries is a file problem all the same.
    if (!h.warning.empty()) {
        ctx.error(h.warning);
        ctx.exit_code = kExitFileError;
    }
}

} // namespace

Command add_info_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("info", "Show the header of a database (a path or a system id)");
    auto opt = std::make_shared<InfoOptions>();
    sub->add_option("DATABASE", opt->database, "A .zdb file or the id of a listed system")
        ->required();
    sub->add_flag("--roms", opt->with_roms, "Also list every ROM: crc, crc2, name");
    sub->add_flag("--json", opt->json, "Print the header (and the ROMs) as JSON");
    return {sub, [&ctx, opt] {
                // Anything that looks like a file is one; a bare word is a system id.
                const auto& database = opt->database;
                const bool path_like = database.find('/') != std::string::npos ||
                                       core::lower_extension(database) == "zdb" ||
                                       std::filesystem::exists(database);
                if (path_like) {
                    print_database(ctx, database, *opt);
                } else if (auto system = find_system_or_complain(ctx, database)) {
                    print_database(ctx, system->file, *opt);
                }
            }};
}

} // namespace cli
