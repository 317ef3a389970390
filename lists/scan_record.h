#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lists {

/// One file a collection scan matches: a record read from a session file, or a file found
/// in the scanned folder.
struct ScanRecord {
    /// 8 lower-case hexadecimal digits in checksum mode; "" in filename mode. A session
    /// record keeps its first field as read, which may be shorter or not hexadecimal.
    std::string crc;
    std::string
        name; ///< the base name as found (no folder, no last extension); "" for a session record
    std::string path;  ///< the full path; for a session record the name it was stored under
    bool done = false; ///< matched
    bool from_session = false;
};

using ScanRecords = std::vector<ScanRecord>;

/// The base name of a path: the file name without its folder and without its last
/// extension ("/roms/Sonic (E).bin" gives "Sonic (E)").
std::string base_name(std::string_view path);

} // namespace lists
