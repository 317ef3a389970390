#pragma once

// The library's own database reader and ROM checksum routine. It reads no settings and
// shows nothing: it works only on the paths the file manager hands over.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "com.h"
#include "crc_text.h"
#include "identify.h"
#include "result.h"
#include "zdb.h"
#include "zelcore_library.h"

namespace zelshell {

/// A database header as the library reads it: the header and, after a full load, the
/// number of ROM entries read.
struct ZdbRecord {
    core::ZdbHeader header;
    std::size_t entry_count = 0;
};

/// Reads a database at `level` (core::kZdbFull, kZdbHeaderOnly, kZdbHeaderAndInfo). A full
/// load replaces this thread's ROM table (this_thread_state().roms) with the entries whose
/// CRC text, trimmed, and name are not empty; the caller erases it when done. A file that
/// is not a usable database gives an empty header with number -1 and no entries.
ZdbRecord load_zdb(const std::filesystem::path& path, int level);

/// S_OK when `path` is a regular file that can be opened for reading; otherwise the error
/// code, with the reason kept for the host (fail_with).
HRESULT check_readable(const std::filesystem::path& path);

/// libzelcore.so: from the folder this library was loaded from, else beside the program.
/// Loaded once per process; a failed attempt is tried again next time.
core::Result<core::Zelcore> shell_zelcore();

/// The checksum routine for the files of `system`: its get_crc32(path, skip) gives the CRC
/// text of a plain file with the system's rules (the TurboGrafx copier header, the Jaguar
/// header, the Genesis SMD conversion in a private temporary file), counted from `skip`
/// otherwise; a ZIP archive is hashed as a whole; errors name the file. Make one for all
/// the files of a drop: it owns a private temporary folder.
core::Result<core::Identifier> plain_file_identifier(const std::string& system);

/// The result code of a core error, with its text kept for the host.
HRESULT fail_with_error(const core::Error& error);

} // namespace zelshell
