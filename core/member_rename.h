#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "result.h"

namespace core {

/// The rename of the one member of a one-ROM archive.
struct MemberRename {
    std::string archive;  ///< where the archive is when its member is renamed
    std::string old_name; ///< the member's whole name before, folders included
    std::string new_name; ///< and after
};

/// The name of the only entry of a one-ROM archive, as the helper library's
/// rename_inside_zip sees it (UTF-8). An archive with more entries (a folder entry counts),
/// a lone folder entry or a file that is no archive is an error whose message says why,
/// as the end of a sentence ("it holds 2 entries, not one ROM").
Result<std::string> only_member_name(const std::filesystem::path& zip);

/// What rename_inside_zip(zip, new_name) would do, read before it is done; an error (why
/// it cannot be done, as only_member_name words it) for an archive that is not a one-ROM
/// archive or a name that is not a file name.
Result<MemberRename> plan_member_rename(const std::filesystem::path& zip,
                                        std::string_view new_name);

/// What to tell rename_inside_zip so that the member named `now` is named `old` again;
/// empty when no name does ("game." has lost its dot for good, "roms/game.bin" its folder).
std::string name_giving_back(std::string_view now, std::string_view old);

} // namespace core
