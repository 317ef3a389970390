#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "crc_text.h"

namespace core {

class Progress;
class Prompter;

/// Stored CRCs are XORed with this mask.
inline constexpr std::uint32_t kZdbScrambleMask = 0x5C3A71E6;

/// One ROM of a database, or one file being identified.
struct RomEntry {
    CrcText crc;
    CrcText crc2 = CrcText::none();
    std::string name;      ///< UTF-8
    std::string path;      ///< empty in a database table; a file's full path when used for files
    std::int16_t done = 0; ///< -1 once dealt with
};

using RomTable = std::vector<RomEntry>;

/// The header of a database. Texts are UTF-8 (converted from Windows-1252).
struct ZdbHeader {
    std::string version;
    std::string credit;
    std::string notes;
    std::string more_info;
    std::string patterns;
    std::string long_name;
    std::string system_id;   ///< untrimmed
    std::int32_t number = 0; ///< header skip; -1 when the file is not a usable database
    std::int16_t extra = 0;
    std::int16_t crc_count = 0;
    std::string error;    ///< why the file is unusable, when number is -1
    std::string warning;  ///< a full load that read less than the file holds: why
    bool stopped = false; ///< a full load given up at Stop: not unusable, just not read

    bool usable() const { return number != -1 && !stopped; }
};

enum ZdbMode : int {
    kZdbFull = 0,          ///< everything, the first-load notice and the ROM table
    kZdbHeaderOnly = 1,    ///< the start-up list
    kZdbHeaderAndInfo = 2, ///< header and more-info text (system settings)
};

/// The first-load notice of a full load: shown once per program run and system, through
/// `prompter`, remembered as `ZDBLoaded` in the section `system_id` of `settings_file`
/// (the settings file of the application home when empty).
struct FirstLoadNotice {
    std::string system_id;
    Prompter* prompter = nullptr;
    std::filesystem::path settings_file;
};

/// Reads a database. In mode kZdbFull `roms` (when given) is replaced by the ROM table in
/// file order and `notice` (when given) may be shown. A file that cannot be opened, has a
/// wrong format byte or a header field cut short gives number = -1 and a reason in `error`.
/// A file that ends inside a record keeps the entries before it and says so in `warning`
/// ("'x.zdb' ends inside a record after 74 entries"); only a full load reads that far.
/// A full load polls `progress` (when given) for Stop every few thousand records; a stopped
/// load empties `roms` and sets `stopped`, which makes the header unusable with no `error`.
ZdbHeader load_zdb(const std::filesystem::path& path, int mode, RomTable* roms = nullptr,
                   const FirstLoadNotice* notice = nullptr, const Progress* progress = nullptr);

/// The version text of a database, read without checking the format range; "" when the
/// first byte is 0 or the file cannot be read.
std::string read_zdb_version(const std::filesystem::path& path);

/// Field indices of sort_roms_by_field.
enum RomField : int { kFieldCrc = 0, kFieldCrc2 = 1, kFieldName = 2, kFieldPath = 3 };

/// Sorts in place by the lower-cased text of a field. Stable: equal keys keep their order.
void sort_roms_by_field(RomTable& table, int field);
void sort_roms_by_name(RomTable& table);

} // namespace core
