#include "dat_import.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <set>

#include <sys/stat.h>

#include "cp1252.h"
#include "text.h"
#include "update_server.h"
#include "zdb_writer.h"

namespace update {
namespace {

namespace fs = std::filesystem;
using core::Error;
using core::quoted;

constexpr char32_t kInvalid = 0xFFFD;
constexpr std::size_t kMaxShortText = 255;
constexpr std::size_t kMaxMoreInfo = 32767;
constexpr std::size_t kMaxExtension = 16;

// The plain letters of U+0100-U+017F (Latin Extended-A), the accented letters of the
// Central European and Baltic languages that Windows-1252 lacks.
constexpr std::string_view kLatinExtendedA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

// U+01CD-U+01DC, the third-tone and u-umlaut vowels of Pinyin (Chinese titles in Latin
// letters).
constexpr std::string_view kPinyin = "AaIiOoUuUuUuUuUu";

// Reads one code point of UTF-8 at `i` and moves past it; a broken sequence gives
// kInvalid and moves one byte.
char32_t next_code_point(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return kInvalid;
    }
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        if ((byte & 0xC0) != 0x80) {
            ++i;
            return kInvalid;
        }
        cp = (cp << 6) | (byte & 0x3F);
    }
    i += length;
    return cp;
}

bool in_cp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return true;
    std::string one;
    core::append_utf8(one, cp);
    return cp != kInvalid && core::utf8_to_cp1252(one).has_value();
}

bool is_control(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0);
}

// A character Windows-1252 can store standing in for `cp`, or nothing.
std::optional<char32_t> stand_in(char32_t cp) {
    if (in_cp1252(cp))
        return cp;
    if (cp >= 0x100 && cp < 0x180)
        return static_cast<char32_t>(kLatinExtendedA[cp - 0x100]);
    if (cp >= 0x1CD && cp <= 0x1DC)
        return static_cast<char32_t>(kPinyin[cp - 0x1CD]);
    if (cp >= 0xFF01 && cp <= 0xFF5E) // full-width ASCII
        return cp - 0xFEE0;
    if (cp == 0x3000)
        return U' ';
    if (cp == 0x2010 || cp == 0x2011 || cp == 0x2012 || cp == 0x2212)
        return U'-';
    return std::nullopt;
}

// The characters of `name` with the ones no file name may hold replaced.
std::string replace_characters(std::string_view name) {
    std::string out;
    bool drop_blank = false; // a '?' or '*' went: do not leave two blanks in its place
    for (std::size_t i = 0; i < name.size();) {
        const char32_t cp = next_code_point(name, i);
        const bool blank_follows = i < name.size() && name[i] == ' ';
        if (cp == U' ' && drop_blank) {
            drop_blank = false;
            continue;
        }
        drop_blank = false;
        if (is_control(cp))
            out += ' ';
        else if (cp == U':')
            out += blank_follows && !out.ends_with(' ') ? " -" : "-";
        else if (cp == U'/' || cp == U'\\' || cp == U'|')
            out += '-';
        else if (cp == U'"')
            out += '\'';
        else if (cp == U'<' || cp == U'>')
            out += cp == U'<' ? '(' : ')';
        else if (cp == U'?' || cp == U'*')
            drop_blank = out.empty() || out.ends_with(' ');
        else
            core::append_utf8(out, stand_in(cp).value_or(U'_'));
    }
    return out;
}

void trim_ends(std::string& name) {
    name.erase(0, name.find_first_not_of(' '));
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
}

// The length of the device word `name` starts with when Windows reserves it, else 0.
std::size_t reserved_device_length(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (base.ends_with(' '))
        base.remove_suffix(1);
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    for (auto word : kPlain)
        if (core::iequals(base, word))
            return base.size();
    if (base.size() >= 4 &&
        (core::iequals(base.substr(0, 3), "COM") || core::iequals(base.substr(0, 3), "LPT"))) {
        const std::string_view digit = base.substr(3);
        const bool one_digit = digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9';
        if (one_digit || digit == "\u00B9" || digit == "\u00B2" || digit == "\u00B3")
            return base.size();
    }
    return 0;
}

void cut_to(std::string& name, std::size_t limit) {
    if (name.size() <= limit)
        return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    name.resize(end);
}

// A text from the list made storable in a header field: every character Windows-1252
// lacks becomes its stand-in or '?', then it is cut to `limit` bytes.
std::string storable(std::string_view text, std::size_t limit, bool keep_lines = false) {
    std::string out;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size() && bytes < limit; ++bytes) {
        char32_t cp = next_code_point(text, i);
        if (is_control(cp) && !(keep_lines && (cp == U'\r' || cp == U'\n')))
            cp = U' ';
        core::append_utf8(out, stand_in(cp).value_or(U'?'));
    }
    return out;
}

std::optional<core::CrcText> parse_crc(std::string_view text) {
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const char lower = static_cast<char>(c | 0x20);
        if (c >= '0' && c <= '9')
            value = (value << 4) | static_cast<std::uint32_t>(c - '0');
        else if (lower >= 'a' && lower <= 'f')
            value = (value << 4) | static_cast<std::uint32_t>(lower - 'a' + 10);
        else
            return std::nullopt;
    }
    return core::CrcText::from_value(value);
}

std::string_view file_part(std::string_view rom_name) {
    const auto slash = rom_name.find_last_of("/\\");
    return slash == std::string_view::npos ? rom_name : rom_name.substr(slash + 1);
}

std::string_view without_extension(std::string_view file) {
    const auto dot = file.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? file : file.substr(0, dot);
}

std::string entry_name(std::string_view title, std::string_view rom_name, bool only_rom) {
    const std::string_view file = file_part(rom_name);
    const std::string_view stem = without_extension(file);
    if (title.empty())
        return std::string(only_rom ? stem : file);
    if (only_rom || stem.starts_with(title))
        return std::string(only_rom ? title : stem);
    return std::string(title) + " (" + std::string(file) + ")";
}

struct UsableRom {
    const DatRom* rom;
    core::CrcText crc;
    std::optional<core::CrcText> crc2;
};

// The ROMs of a game that have a CRC; the others are counted.
std::vector<UsableRom> usable_roms(const DatGame& game, ImportTable& table) {
    std::vector<UsableRom> usable;
    for (const auto& rom : game.roms) {
        if (rom.crc.empty()) {
            ++table.without_crc;
            continue;
        }
        auto crc = parse_crc(rom.crc);
        auto crc2 = rom.crc2.empty() ? std::nullopt : parse_crc(rom.crc2);
        if (!crc || (!rom.crc2.empty() && !crc2)) {
            ++table.bad_crc;
            continue;
        }
        usable.push_back({&rom, *crc, crc2});
    }
    return usable;
}

void add_entries(const DatGame& game, ImportTable& table,
                 std::set<std::pair<core::CrcText, std::string>>& seen) {
    const std::string& title = game.description.empty() ? game.name : game.description;
    const auto usable = usable_roms(game, table);
    for (const auto& u : usable) {
        const std::string listed = entry_name(title, u.rom->name, usable.size() == 1);
        std::string name = legal_file_name(listed);
        if (name.empty()) {
            ++table.without_name;
            continue;
        }
        if (!seen.emplace(u.crc, name).second) {
            ++table.duplicates;
            continue;
        }
        if (name != listed)
            table.renamed.emplace_back(listed, name);
        ++table.extensions[core::lower_extension(file_part(u.rom->name))];
        core::RomEntry entry;
        entry.crc = u.crc;
        if (u.crc2)
            entry.crc2 = *u.crc2;
        table.two_crcs = table.two_crcs || u.crc2.has_value();
        entry.name = std::move(name);
        table.roms.push_back(std::move(entry));
    }
}

// Letters and digits only: "Game (v1.1)" has no extension "1)".
bool plain_extension(std::string_view ext) {
    return !ext.empty() && ext.size() <= kMaxExtension &&
           std::all_of(ext.begin(), ext.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
           });
}

// The list's name and description in lower case, every run of other characters one blank,
// with a blank at each end: " nec pc engine turbografx 16 ".
std::string words_of(const DatHeader& h) {
    std::string words = " ";
    for (char c : core::to_lower_ascii(h.name + " " + h.description)) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (letter)
            words += c;
        else if (!words.ends_with(' '))
            words += ' ';
    }
    return words.ends_with(' ') ? words : words + ' ';
}

struct RulesSystem {
    std::string_view id;
    std::string_view name;
    std::array<std::string_view, 4> words; ///< one in the list's name says it is of the system
    std::string_view extension;            ///< its dumps' own, the most common in its lists
    std::string_view lost;                 ///< what an import under another id identifies not
};

constexpr RulesSystem kRulesSystems[] = {
    {"SGENESIS",
     "the Mega Drive (Genesis)",
     {" mega drive ", " megadrive ", " megadriv ", " genesis "},
     "md",
     "no interleaved dump (.smd)"},
    {"TURBOGFX",
     "the PC Engine (TurboGrafx-16)",
     {" pc engine ", " pce ", " turbografx ", " tg16 "},
     "pce",
     "no dump with a 512-byte header"},
    {"JAGUAR", "the Jaguar", {" jaguar ", "", "", ""}, "j64", "no dump with a 512-byte header"},
};

// The system with rules of its own the list is of, by its name or its ROMs' most common
// extension; a CD list or another console of the family is none of them.
const RulesSystem* rules_system_of(const DatFile& dat, const ImportTable& table) {
    const std::string words = words_of(dat.header);
    for (std::string_view other : {" cd ", " supergrafx ", " 32x "})
        if (words.find(other) != std::string::npos)
            return nullptr;
    const auto common =
        std::max_element(table.extensions.begin(), table.extensions.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    for (const auto& system : kRulesSystems) {
        if (common != table.extensions.end() && common->first == system.extension)
            return &system;
        for (auto word : system.words)
            if (!word.empty() && words.find(word) != std::string::npos)
                return &system;
    }
    return nullptr;
}

// The day the list was last changed, "20221229", for a list that names no version.
std::string file_date(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return "";
    std::tm day{};
    ::gmtime_r(&st.st_mtime, &day);
    char text[16];
    return std::strftime(text, sizeof text, "%Y%m%d", &day) ? text : "";
}

std::string more_info_of(const DatHeader& h) {
    std::string info;
    const std::pair<const char*, const std::string*> lines[] = {
        {"Date: ", &h.date}, {"Homepage: ", &h.homepage}, {"URL: ", &h.url}, {"", &h.comment}};
    for (const auto& [label, text] : lines)
        if (!text->empty())
            info += (info.empty() ? "" : "\r\n") + std::string(label) + *text;
    return storable(info, kMaxMoreInfo, true);
}

fs::path database_path(const ImportOptions& o) {
    return o.out_folder / (o.system_id + ".zdb");
}

constexpr std::size_t kGamesPerStep = 256;

ImportReport& not_done(ImportReport& report, core::End end, const Error& error,
                       const fs::path& about) {
    report.end = end;
    report.problems.push_back(core::Problem::line(error.message, about.string()));
    return report;
}

ImportReport& stopped(ImportReport& report) {
    report.end = core::End::Stopped;
    report.summary = "The import was stopped; nothing was written.\n";
    return report;
}

std::string summary_of(const ImportReport& r) {
    const ImportTable& t = r.table;
    return "Wrote " + quoted(r.database) + " (format " + std::to_string(r.format) + ").\n" +
           "Entries written: " + std::to_string(t.roms.size()) + "\n" +
           "Skipped without a CRC: " + std::to_string(t.without_crc) + "\n" +
           "Skipped with a bad CRC: " + std::to_string(t.bad_crc) + "\n" +
           "Skipped without a usable name: " + std::to_string(t.without_name) + "\n" +
           "Duplicates left out: " + std::to_string(t.duplicates) + "\n" +
           "Names changed to be legal: " + std::to_string(t.renamed.size()) + "\n" +
           "File patterns: " + r.patterns + "\n";
}

// The database of a list that gave entries; the folder is made only now, when asked.
ImportReport& write_database(ImportReport& report, const DatFile& dat,
                             const ImportOptions& options) {
    const ImportTable& t = report.table;
    report.format = t.two_crcs ? 1 : 3;
    const auto header = import_header(dat, t, options);
    report.patterns = header.patterns;
    if (header.patterns.empty())
        return not_done(report, core::End::Failed,
                        Error::bad_input("no ROM name in " + quoted(options.dat_file) +
                                         " has an extension to make the file patterns of; give "
                                         "them with --patterns; nothing was written"),
                        options.dat_file);
    report.warnings = system_id_warnings(dat, t, options);
    std::error_code ec;
    if (options.make_out_folder && !fs::create_directories(options.out_folder, ec) && ec)
        return not_done(report, core::End::Failed,
                        Error::failed("cannot make the folder " + quoted(options.out_folder) +
                                      ": " + ec.message() + "; nothing was written"),
                        options.out_folder);
    if (auto ok = core::write_zdb(report.database, report.format, header, t.roms); !ok)
        return not_done(report, core::End::Failed,
                        Error{ok.error().code, "cannot write " + quoted(report.database) + ": " +
                                                   ok.error().message + "; nothing was written"},
                        report.database);
    report.summary = summary_of(report);
    return report;
}

} // namespace

std::string legal_file_name(std::string_view name) {
    std::string legal = replace_characters(name);
    trim_ends(legal);
    if (const auto device = reserved_device_length(legal))
        legal.insert(device, "_");
    cut_to(legal, kMaxEntryNameBytes);
    trim_ends(legal);
    return legal;
}

bool is_legal_system_id(std::string_view id) {
    // '[' and ']' would break the settings section the id names.
    return is_plain_file_name(id) && id.find_first_of("[]") == std::string_view::npos &&
           id.size() <= kMaxShortText && legal_file_name(id) == id;
}

ImportTable import_table(const DatFile& dat, core::Progress& progress) {
    ImportTable table;
    std::set<std::pair<core::CrcText, std::string>> seen;
    const std::size_t games = dat.games.size();
    for (std::size_t i = 0; i < games; ++i) {
        if (progress.stop_requested()) {
            table.stopped = true;
            return table;
        }
        if (i % kGamesPerStep == 0 || i + 1 == games)
            progress.step(i + 1, games);
        add_entries(dat.games[i], table, seen);
    }
    // Format 1 matches a file against either CRC: a ROM with one CRC stores it twice.
    if (table.two_crcs)
        for (auto& rom : table.roms)
            if (rom.crc2 == core::CrcText::none())
                rom.crc2 = rom.crc;
    return table;
}

std::vector<std::string> system_id_warnings(const DatFile& dat, const ImportTable& table,
                                            const ImportOptions& options) {
    std::vector<std::string> warnings;
    const std::string& id = options.system_id;
    for (const auto& system : kRulesSystems)
        if (id != system.id && core::iequals(id, system.id))
            warnings.push_back("the system id '" + id + "' is not " + std::string(system.id) +
                               ": ids are compared exactly, so " + std::string(system.lost) +
                               " is identified; import it as " + std::string(system.id));
    const RulesSystem* system = rules_system_of(dat, table);
    if (warnings.empty() && system && id != system->id)
        warnings.push_back(quoted(options.dat_file) + " looks like a list of " +
                           std::string(system->name) + ": imported as " + id + ", " +
                           std::string(system->lost) + " is identified; import it as " +
                           std::string(system->id) + " for that");
    return warnings;
}

std::string default_patterns(const ImportTable& table, std::string_view system_id) {
    std::vector<std::pair<std::size_t, std::string>> by_count;
    for (const auto& [ext, count] : table.extensions)
        if (plain_extension(ext))
            by_count.emplace_back(count, ext);
    if (!by_count.empty() && system_id == "SGENESIS" && !table.extensions.contains("smd"))
        by_count.emplace_back(0, "smd");
    std::stable_sort(by_count.begin(), by_count.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::set<std::string> chosen;
    std::size_t length = 0;
    for (const auto& [count, ext] : by_count)
        if (length + ext.size() + 3 <= kMaxShortText + 1) { // "*." and ';' each
            length += ext.size() + 3;
            chosen.insert(ext);
        }
    std::string patterns;
    for (const auto& ext : chosen)
        patterns += (patterns.empty() ? "*." : ";*.") + ext;
    return patterns;
}

core::ZdbHeader import_header(const DatFile& dat, const ImportTable& table,
                              const ImportOptions& options) {
    const DatHeader& h = dat.header;
    core::ZdbHeader header;
    header.system_id = options.system_id;
    const std::string& listed_name = h.description.empty() ? h.name : h.description;
    header.long_name = options.long_name.value_or(
        storable(listed_name.empty() ? options.system_id : listed_name, kMaxShortText));
    header.version = options.version.value_or(
        h.version.empty() ? file_date(options.dat_file) : storable(h.version, kMaxShortText));
    header.credit = storable(h.author, kMaxShortText);
    header.notes =
        storable("Imported from " + quoted(options.dat_file.filename()) + ".", kMaxShortText);
    header.more_info = more_info_of(h);
    header.patterns = options.patterns.value_or(default_patterns(table, options.system_id));
    header.number = options.header_skip;
    header.crc_count = table.two_crcs ? 2 : 1;
    return header;
}

core::Status check_import_options(const ImportOptions& o) {
    if (!is_legal_system_id(o.system_id))
        return Error::bad_input(
            "the system id '" + o.system_id +
            "' cannot name a database file: it must be a plain file name without separators, "
            "'..', control characters, any of < > : \" | ? * [ ], a trailing dot or space, and "
            "not a device name such as CON");
    if (o.header_skip < 0)
        return Error::bad_input("the header skip must be 0 or more, not " +
                                std::to_string(o.header_skip));
    std::error_code ec;
    const bool present = fs::exists(o.out_folder, ec);
    if (!present && o.make_out_folder)
        return core::Status::success();
    if (!present)
        return Error::not_found("the output folder " + quoted(o.out_folder) + " does not exist");
    if (!fs::is_directory(o.out_folder, ec))
        return Error::bad_input(quoted(o.out_folder) + " is not a folder");
    const auto target = database_path(o);
    if (!o.replace_existing && fs::symlink_status(target, ec).type() != fs::file_type::not_found)
        return Error::exists(quoted(target) + " exists already; nothing was written");
    return core::Status::success();
}

ImportReport import_dat(const ImportOptions& options, core::Progress& progress) {
    ImportReport report;
    report.database = database_path(options);
    if (auto ok = check_import_options(options); !ok) {
        report.exists = ok.error().code == Error::Code::Exists;
        return not_done(report, core::End::Refused, ok.error(), report.database);
    }
    progress.status("Reading " + quoted(options.dat_file.filename()));
    auto dat = read_dat_file(options.dat_file);
    if (!dat)
        return not_done(report, core::End::Failed, dat.error(), options.dat_file);
    report.table = import_table(*dat, progress);
    const ImportTable& t = report.table;
    if (t.stopped || progress.stop_requested())
        return stopped(report);
    if (t.roms.empty())
        return not_done(report, core::End::Failed,
                        Error::bad_input(quoted(options.dat_file) +
                                         " lists no ROM with a usable CRC (" +
                                         std::to_string(t.without_crc) + " without a CRC, " +
                                         std::to_string(t.bad_crc) + " with a bad CRC, " +
                                         std::to_string(t.without_name) +
                                         " without a usable name); nothing was written"),
                        options.dat_file);
    return write_database(report, *dat, options);
}

} // namespace update
