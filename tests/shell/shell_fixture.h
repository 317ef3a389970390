#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "com_ptr.h"
#include "rom_forge.h"
#include "zdb_writer.h"
#include "data_object.h"
#include "shell_api.h"
#include "shell_library.h"

namespace shelltest {

using namespace zelshell;

/// libzelshell.so from the build's program folder, loaded once for the test program.
inline const ShellLibrary& shell() {
    static const auto loaded = ShellLibrary::load_beside_executable();
    if (!loaded) {
        ADD_FAILURE() << loaded.error().message;
        std::abort();
    }
    return *loaded;
}

/// A new object of `clsid` as interface I; fails the test when the library refuses.
template <class I> ComPtr<I> create(const CLSID& clsid, const IID& iid) {
    ComPtr<I> object;
    const HRESULT hr = shell().create(clsid, iid, object.put());
    EXPECT_EQ(hr, S_OK) << hresult_text(hr);
    return object;
}

/// A database of SGENESIS, version "2.5", with `roms` entries "Game 0", "Game 1"... whose
/// CRCs count up from 0xab00.
inline std::filesystem::path write_database(const std::filesystem::path& path, std::size_t roms,
                                            std::string long_name = "Sega Genesis",
                                            std::string credit = "",
                                            std::string notes = "Dumped with care") {
    auto header = testsupport::db_header("SGENESIS", std::move(long_name), "*.bin");
    header.version = "2.5";
    header.credit = std::move(credit);
    header.notes = std::move(notes);
    core::RomTable table;
    for (std::size_t i = 0; i < roms; ++i)
        table.push_back(testsupport::rom_entry(static_cast<std::uint32_t>(0xab00 + i),
                                               "Game " + std::to_string(i)));
    EXPECT_TRUE(core::write_zdb(path, 3, header, table).ok());
    return path;
}

inline ComPtr<IDataObject> selection(std::vector<std::string> paths) {
    return make_file_drop_object(std::move(paths));
}

} // namespace shelltest
