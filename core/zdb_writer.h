#pragma once

#include <filesystem>

#include "result.h"
#include "zdb.h"

namespace core {

/// Writes a database in format version 1, 2 or 3 (`format`), scrambling the records the
/// way load_zdb unscrambles them. Header texts must fit 255 bytes in Windows-1252, the
/// more-info text 32,767 bytes and each name 255 bytes; `number` is written for formats 1
/// and 3, `extra` and the second CRCs for format 1. The file is written atomically.
Status write_zdb(const std::filesystem::path& path, int format, const ZdbHeader& header,
                 const RomTable& roms);

} // namespace core
