#include <CLI/CLI.hpp>
#include <ostream>
#include <unordered_map>

#include "commands.h"
#include "context.h"
#include "file_args.h"
#include "hash_ahead.h"
#include "interrupt.h"
#include "system_lookup.h"
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
};

void identify(Context& ctx, const IdentifyOptions& opt) {
    auto system = find_system_or_complain(ctx, opt.system);
    if (!system)
        return;
    core::RomTable roms;
    auto header = core::load_zdb(system->file, core::kZdbFull, &roms);
    if (!header.usable()) {
        ctx.error(header.error);
        ctx.exit_code = kExitFileError;
        return;
    }
    auto identifier = core::Identifier::create(*ctx.zelcore, {system->id, system->patterns});
    if (!identifier) {
        ctx.error(identifier.error().message);
        ctx.exit_code = kExitFileError;
        return;
    }
    identifier->set_cache(ctx.hash_cache());
    NameIndex names(roms);
    auto files = expand_file_args(ctx, opt.files, opt.recursive);
    // The header skip is a 16-bit count: only the low bits of the stored number count.
    auto skip = static_cast<std::uint16_t>(header.number & 0xFFFF);
    core::HashAhead ahead(*identifier, {files.begin(), files.end()}, skip,
                          opt.jobs ? opt.jobs : core::HashAhead::default_threads());
    for (const auto& file : files) {
        if (interrupted()) {
            ctx.error("interrupted");
            ctx.exit_code = kExitInterrupted;
            return;
        }
        auto crc = ahead.next();
        if (!crc) {
            ctx.error(crc.error().message);
            ctx.exit_code = kExitFileError;
            continue;
        }
        ctx.out << crc->view() << '\t' << names.find(*crc) << '\t' << file.native() << '\n';
    }
}

} // namespace

Command add_identify_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand(
        "identify",
        "Print the CRC text, database name and path of each file: crc<TAB>name<TAB>path");
    auto opt = std::make_shared<IdentifyOptions>();
    sub->add_option("--system", opt->system, "The system id (see: zelkon-cli systems)")->required();
    sub->add_option("FILE", opt->files, "ROM files or ZIP archives")->required();
    sub->add_flag("-r,--recursive", opt->recursive, "Take every file below a folder");
    sub->add_option("-j,--jobs", opt->jobs, "Files hashed at once (default: one per core)")
        ->check(CLI::Range(1, 64));
    return {sub, [&ctx, opt] { identify(ctx, *opt); }};
}

} // namespace cli
