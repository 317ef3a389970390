#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "dat_reader.h"
#include "outcome.h"
#include "progress.h"
#include "result.h"
#include "zdb.h"

namespace update {

/// The longest entry name, in UTF-8 bytes. The rename engine appends "." and the file's
/// extension (and " {D01}" for a duplicate), and the result must stay within the 255
/// bytes a Linux file name may have; Windows-1252 needs no more bytes than UTF-8.
inline constexpr std::size_t kMaxEntryNameBytes = 240;

/// A name made a legal file name on both Windows and Linux, Windows-1252 only:
/// - control characters become a space; ": " becomes " - " and any other ':' a '-';
///   '/', '\' and '|' become '-'; '"' becomes '\''; '<' and '>' become '(' and ')';
///   '?' and '*' are dropped (with the blank before them when one follows);
/// - a character outside Windows-1252 becomes its plain Latin letter when it has one
///   ("Ō" -> "O"), a full-width form its ASCII twin, anything else '_';
/// - leading spaces and trailing dots and spaces are removed;
/// - a reserved device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, also before a dot and in
///   any letter case) gets a '_' after the device word: "Con.x" -> "Con_.x";
/// - the name is cut to kMaxEntryNameBytes at a character boundary.
/// "" when nothing usable remains.
std::string legal_file_name(std::string_view name);

/// True when `id` can be the base name of a database file and the name of its settings
/// section as it stands.
bool is_legal_system_id(std::string_view id);

struct ImportOptions {
    std::filesystem::path dat_file;
    std::string system_id;
    std::optional<std::string> long_name; ///< default: the list's description or name
    std::optional<std::string> version;   ///< default: the list's version, else its date
    std::optional<std::string> patterns;  ///< default: the extensions of the ROM files
    std::int32_t header_skip = 0;
    std::filesystem::path out_folder;
    bool make_out_folder = false; ///< made when missing, once the list has given a database
    bool replace_existing = false;
};

/// What the entries of a list became, before anything is written.
struct ImportTable {
    core::RomTable roms;
    bool two_crcs = false; ///< some ROM gives a second CRC: the database is format 1
    std::size_t without_crc = 0;
    std::size_t bad_crc = 0;
    std::size_t without_name = 0;
    std::size_t duplicates = 0;
    std::vector<std::pair<std::string, std::string>> renamed; ///< {as listed, as written}
    std::map<std::string, std::size_t> extensions; ///< of the ROMs' file names, with their counts
    bool stopped = false; ///< Stop came before the last game: nothing may be made of it
};

/// One entry per ROM with a CRC. A game with one such ROM gives its title (description,
/// else name) without extension, since the rename engine adds each file's own; in a game
/// with several, each ROM is named by its file name without extension when that begins
/// with the title (track files of a disc), else "title (ROM file name)". Counts the games
/// done and polls Stop between them.
ImportTable import_table(const DatFile& dat, core::Progress& progress = core::null_progress());

/// The system ids whose files are identified by rules of their own (an interleaved dump
/// converted, a copier header found and left out).
inline constexpr std::string_view kRulesSystemIds[] = {"SGENESIS", "TURBOGFX", "JAGUAR"};

/// What may be wrong with importing this list under `id`: it is the list of a system with
/// rules of its own imported under another id, or `id` differs from such an id only in
/// letter case (ids are compared exactly). Each warning says what is lost.
std::vector<std::string> system_id_warnings(const DatFile& dat, const ImportTable& table,
                                            const ImportOptions& options);

/// "*.bin;*.md" from the extensions of the ROM files (the most common ones when they do
/// not all fit), with "*.smd" for SGENESIS, whose interleaved dumps are read too; "" when
/// no ROM name has a usable extension.
std::string default_patterns(const ImportTable& table, std::string_view system_id);

/// The header of the database `options` and the list ask for.
core::ZdbHeader import_header(const DatFile& dat, const ImportTable& table,
                              const ImportOptions& options);

/// Refuses a system id, header skip or output folder that cannot be used, and an existing
/// database unless it may be replaced.
core::Status check_import_options(const ImportOptions& options);

/// What an import did; the summary has its counts. Refused: check_import_options refused
/// the options (`exists`: only because the database exists already). Failed: the list or
/// its entries could not make a database, or it could not be written. Stopped: Stop came
/// before the database was written. In all three nothing was written and the problem
/// says why.
struct ImportReport : core::Outcome {
    std::filesystem::path database;
    int format = 3;
    std::string patterns;
    ImportTable table;
    bool exists = false;
    std::vector<std::string> warnings; ///< system_id_warnings; the database is still written
};

/// Reads the list and writes <out_folder>/<system_id>.zdb in one step: a reader sees the
/// old database or the new one.
ImportReport import_dat(const ImportOptions& options,
                        core::Progress& progress = core::null_progress());

} // namespace update
