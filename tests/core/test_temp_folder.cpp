#include "temp_folder.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::write_file;

// Calls `f` with the system's temporary folder pointed at `under`.
template <class F> auto in_tmpdir(const fs::path& under, F f) {
    const testsupport::ScopedTmpdir in_tmp(under);
    return f();
}

core::TempFolder make_folder(const fs::path& under, std::string_view prefix = "zelkon") {
    auto folder = in_tmpdir(under, [&] { return core::TempFolder::create(prefix); });
    if (!folder)
        throw std::runtime_error(folder.error().message);
    return std::move(folder.value());
}

TEST(TempFolder, IsPrivateHandsOutNewFilesAndGoesWithEverythingInIt) {
    TempDir tmp;
    write_file(tmp.path() / "ident-Dead12" / "f-abcdef", ""); // left by a killed run
    fs::create_directory(tmp.path() / "ident-Empty1"); // or one as a live run has just made it
    fs::create_directory(tmp.path() / "ident-x");
    write_file(tmp.path() / "ident-File12", "");
    write_file(tmp.path() / "other-Abc123" / "f", "");
    fs::path path;
    {
        const auto folder = make_folder(tmp.path(), "ident");
        path = folder.path();
        EXPECT_EQ(path.parent_path(), tmp.path());
        EXPECT_EQ(path.filename().string().rfind("ident-", 0), 0u) << path;
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_all);
        std::set<fs::path> seen;
        for (int i = 0; i < 50; ++i) {
            auto file = folder.new_file(".smd");
            ASSERT_TRUE(file) << file.error().message;
            EXPECT_EQ(file->parent_path(), path);
            EXPECT_EQ(file->extension(), ".smd");
            EXPECT_EQ(fs::file_size(*file), 0u);
            EXPECT_TRUE(seen.insert(*file).second) << *file;
        }
        auto bare = folder.new_file();
        ASSERT_TRUE(bare) << bare.error().message;
        EXPECT_EQ(bare->parent_path(), path);
        // A suffix or prefix cannot lead out of the folder.
        EXPECT_FALSE(folder.new_file("/../../x"));
        EXPECT_FALSE(core::TempFolder::create("../x"));
        write_file(path / "sub" / "deep.bin", "x");
        // A sweep removes the killed run's folders only, never a live one, nor look-alikes,
        // and counts the one that held something.
        EXPECT_EQ(in_tmpdir(tmp.path(), [] { return core::TempFolder::remove_stale("ident"); }),
                  1u);
        EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 4);
    }
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
