#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace update {

/// The shapes of ROM list collectors keep: a Logiqx DAT file (<datafile>), a software list
/// (<softwarelist>) and a ClrMamePro DAT (text in blocks, `clrmamepro ( ... ) game ( ... )`).
enum class DatFormat { Logiqx, SoftwareList, ClrMamePro };

/// One ROM file of a game, its attributes as written (UTF-8, not checked).
struct DatRom {
    std::string name;
    std::string size;
    std::string crc;  ///< empty when the list gives none
    std::string crc2; ///< our own attribute for a second CRC; empty when absent
};

/// A game (Logiqx `game` or `machine`) or a software with its ROMs in file order. A
/// `rom` element without a name is a loading step of a software list (continue, reload,
/// fill), not a file, and is left out.
struct DatGame {
    std::string name;
    std::string description;
    std::vector<DatRom> roms;
};

/// What the file says about itself. A software list has only a name and a description.
struct DatHeader {
    std::string name;
    std::string description;
    std::string version;
    std::string author;
    std::string date;
    std::string homepage;
    std::string url;
    std::string comment;
};

struct DatFile {
    DatFormat format = DatFormat::Logiqx;
    DatHeader header;
    std::vector<DatGame> games;
};

/// Parses the text of a DAT file in any of its formats; `source` names it in messages.
/// Malformed XML is refused with the line and column the parser stopped at, XML of another
/// shape with the root it found, and text in no format this program reads as such.
core::Result<DatFile> parse_dat(std::string_view text, const std::filesystem::path& source);

/// Reads and parses a DAT file or software list.
core::Result<DatFile> read_dat_file(const std::filesystem::path& file);

} // namespace update
