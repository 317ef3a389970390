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

// Points the system's temporary folder somewhere else for the life of the object.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const fs::path& folder) {
        if (const char* old = std::getenv("TMPDIR"))
            m_saved = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTmpdir() {
        if (m_saved)
            ::setenv("TMPDIR", m_saved->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    ScopedTmpdir(const ScopedTmpdir&) = delete;
    ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

private:
    std::optional<std::string> m_saved;
};

core::TempFolder make_folder(const fs::path& under, std::string_view prefix = "zelkon") {
    const ScopedTmpdir tmpdir(under);
    auto folder = core::TempFolder::create(prefix);
    if (!folder)
        throw std::runtime_error(folder.error().message);
    return std::move(folder.value());
}

TEST(TempFolder, IsPrivateAndGoesWithEverythingInIt) {
    TempDir tmp;
    fs::path path;
    {
        const auto folder = make_folder(tmp.path(), "ident");
        path = folder.path();
        EXPECT_EQ(path.parent_path(), tmp.path());
        EXPECT_EQ(path.filename().string().rfind("ident-", 0), 0u) << path;
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_all);
        write_file(path / "sub" / "deep.bin", "x");
        auto file = folder.new_file(".rom");
        ASSERT_TRUE(file) << file.error().message;
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempFolder, NewFilesAreEmptyUniqueAndKeepTheirSuffix) {
    TempDir tmp;
    const auto folder = make_folder(tmp.path());
    std::set<fs::path> seen;
    for (int i = 0; i < 50; ++i) {
        auto file = folder.new_file(".smd");
        ASSERT_TRUE(file) << file.error().message;
        EXPECT_EQ(file->parent_path(), folder.path());
        EXPECT_EQ(file->extension(), ".smd");
        EXPECT_EQ(fs::file_size(*file), 0u);
        EXPECT_TRUE(seen.insert(*file).second) << *file;
    }
    auto bare = folder.new_file();
    ASSERT_TRUE(bare) << bare.error().message;
    EXPECT_EQ(bare->parent_path(), folder.path());

    // A suffix cannot lead out of the folder.
    EXPECT_FALSE(folder.new_file("/../../x"));
    EXPECT_FALSE(core::TempFolder::create("../x"));
}

TEST(TempFolder, MovingHandsOverTheFolder) {
    TempDir tmp;
    auto first = make_folder(tmp.path());
    const auto first_path = first.path();
    {
        core::TempFolder moved(std::move(first));
        EXPECT_EQ(moved.path(), first_path);
        // The moved-from object owns nothing any more.
        EXPECT_FALSE(first.new_file());
        auto other = make_folder(tmp.path());
        const auto other_path = other.path();
        other = std::move(moved);
        EXPECT_FALSE(fs::exists(other_path)); // replaced, so removed
        EXPECT_TRUE(fs::exists(first_path));
    }
    EXPECT_FALSE(fs::exists(first_path));
    EXPECT_TRUE(fs::is_empty(tmp.path()));
}

TEST(TempFolder, RemoveOnExitRemovesUnlessReleased) {
    TempDir dir;
    const auto removed = dir.write("removed.bin", "x");
    const auto kept = dir.write("kept.bin", "y");
    {
        const core::RemoveOnExit a(removed);
        core::RemoveOnExit b(kept);
        b.release();
        const core::RemoveOnExit c(dir.path() / "never-existed");
    }
    EXPECT_FALSE(fs::exists(removed));
    EXPECT_TRUE(fs::exists(kept));
}

} // namespace
