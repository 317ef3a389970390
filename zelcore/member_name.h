#pragma once

// How rename_inside_zip names the member of a one-ROM archive. Shared with the program, which
// reads the names before a rename (for the undo journal) and works out the name that gives
// the old one back.

#include <string>
#include <string_view>

namespace zelcore {

/// False for a name that could be read as a folder ("", ".", "..", anything with a slash or
/// a backslash): the new name of a member is a plain file name.
inline bool is_member_file_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

/// Where the member's base name starts. Archives made on Windows may separate folders with a
/// backslash; both count.
inline std::size_t member_base_start(std::string_view member) {
    const std::size_t slash = member.find_last_of("/\\");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

/// The member's new name: `new_name` and the extension of the member's base name. Folders
/// are never kept ("../roms/game.bin" becomes "new.bin"). A trailing dot is no extension:
/// "game." becomes "new".
inline std::string renamed_member(std::string_view member, std::string_view new_name) {
    const std::string_view base = member.substr(member_base_start(member));
    std::string result(new_name);
    const std::size_t dot = base.rfind('.');
    if (dot != std::string_view::npos && dot + 1 < base.size())
        result.append(base.substr(dot));
    return result;
}

} // namespace zelcore
