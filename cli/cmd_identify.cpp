#include <CLI/CLI.hpp>
#include <ostream>
#include <unordered_map>

#include "commands.h"
#include "context.h"
#include "file_args.h"
#include "identification.h"
#include "json_output.h"
#include "system_lookup.h"
#include "terminal_progress.h"
#include "zdb.h"

namespace cli {
namespace {

struct CrcHash {
    std::size_t operator()(const core::CrcText& c) const {
        return std::hash<std::string_view>{}(c.view());
    }
};

/// The name of the first entry whose crc, or else whose crc2, equals a CRC text.
class NameIndex {
public:
    explicit NameIndex(const core::RomTable& roms) {
        for (const auto& r : roms) {
            m_by_crc.emplace(r.crc, &r.name);
            if (r.crc2 != core::CrcText::none())
                m_by_crc2.emplace(r.crc2, &r.name);
        }
    }
    std::string_view find(const core::CrcText& crc) const {
        if (auto it = m_by_crc.find(crc); it != m_by_crc.end())
            return *it->second;
        if (auto it = m_by_crc2.find(crc); it != m_by_crc2.end())
            return *it->second;
        return {};
    }

private:
    std::unordered_map<core::CrcText, const std::string*, CrcHash> m_by_crc, m_by_crc2;
};

struct IdentifyOptions {
    std::string system;
    std::vector<std::string> files;
    bool recursive = false;
    unsigned jobs = 0;
    bool json = false;
    LineStyle lines;
};

// One file's line (crc<TAB>name<TAB>path) or, with --json, its entry of the list.
void print_identified(Context& ctx, const IdentifyOptions& opt, Json& list, std::string_view crc,
                      std::string_view name, const std::string& path) {
    if (opt.json) {
        list.push_back({{"crc", crc}, {"name", text_or_null(name)}, {"path", path}});
        return;
    }
    ctx.out << crc << '\t' << opt.lines.name(name) << '\t' << opt.lines.name(path)
            << opt.lines.end();
}

void identify(Context& ctx, const IdentifyOptions& opt) {
    auto system = find_system_or_complain(ctx, opt.system);
    if (!system)
        return;
    TerminalProgress progress(ctx.out, ctx.err, false);
    auto ident = core::Identification::open(*ctx.services, *system, progress, {});
    ctx.report_notices();
    if (!ident) {
        ctx.error(ident.error().message);
        ctx.exit_code = kExitFileError;
        return;
    }
    if (!ident->header().warning.empty())
        ctx.exit_code = kExitFileError; // a name may be missing only because the file is cut
    NameIndex names(ident->roms());
    auto files = expand_file_args(ctx, opt.files, opt.recursive);
    auto hashes = ident->hash({files.begin(), files.end()}, opt.jobs);
    Json list = Json::array();
    while (auto item = hashes.next(progress)) {
        if (!item->crc) {
            ctx.error(item->crc.error().message);
            ctx.exit_code = kExitFileError;
            continue;
        }
        print_identified(ctx, opt, list, item->crc->view(), names.find(*item->crc),
                         hashes.path(item->index));
    }
    if (opt.json)
        print_json(ctx.out, list);
    if (hashes.stopped()) {
        ctx.error("interrupted");
        ctx.exit_code = kExitInterrupted;
    }
}

} // namespace

Command add_identify_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand(
        "identify",
        "Print the CRC text, database name and path of each file: crc<TAB>name<TAB>path");
    sub->footer("Tabs, line feeds and backslashes in names are printed as \\t, \\n and \\\\.");
    auto opt = std::make_shared<IdentifyOptions>();
    sub->add_option("--system", opt->system, "The system id (see: zelkon-cli systems)")->required();
    sub->add_option("FILE", opt->files, "ROM files or ZIP archives")->required();
    sub->add_flag("-r,--recursive", opt->recursive, "Take every file below a folder");
    sub->add_option("-j,--jobs", opt->jobs,
                    "Hash N files at once (default: one per core); with more than one, the next "
                    "files are read ahead, 1 reads and hashes one at a time")
        ->type_name("N")
        ->check(CLI::Range(1, 64));
    auto* json = sub->add_flag("--json", opt->json, "Print a JSON list of crc, name and path");
    sub->add_flag("-0,--null", opt->lines.nul,
                  "End each line with NUL instead of a line feed; names left unescaped")
        ->excludes(json);
    return {sub, [&ctx, opt] { identify(ctx, *opt); }};
}

} // namespace cli
