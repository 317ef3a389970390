#include "temp_folder.h"

#include <cstdlib>
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::write_file;

// A folder made with the system's temporary folder pointed at `under`.
core::TempFolder make_folder(const fs::path& under, std::string_view prefix = "zelkon") {
    const char* old = std::getenv("TMPDIR");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("TMPDIR", under.c_str(), 1);
    auto folder = core::TempFolder::create(prefix);
    saved ? ::setenv("TMPDIR", saved->c_str(), 1) : ::unsetenv("TMPDIR");
    if (!folder)
        throw std::runtime_error(folder.error().message);
    return std::move(folder.value());
}

TEST(TempFolder, IsPrivateHandsOutNewFilesAndGoesWithEverythingInIt) {
    TempDir tmp;
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
    }
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
