#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "folder_walk.h"
#include "temp_dir.h"

using Names = std::vector<std::string>;

namespace {

class FolderWalk : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string root = dir.path().string() + "/";

    void SetUp() override {
        for (auto name : {"b.bin", "A.BIN", "c.txt", "sub/z.bin", "sub/deep/y.bin", "sub2/x.zip",
                          ".hidden/h.bin", "sub/.not/n.bin"})
            dir.write(name, "x");
        std::filesystem::create_directory_symlink(root + "sub", root + "loop");
        std::filesystem::create_symlink(root + "b.bin", root + "link.bin");
    }
    Names relative(const Names& paths) const {
        Names out;
        for (const auto& p : paths)
            out.push_back(p.substr(root.size()));
        return out;
    }
};

TEST_F(FolderWalk, ListsMatchingFilesAlphabeticallyWithoutRegardToCase) {
    Names links;
    EXPECT_EQ(core::list_folder_files(root, "*.bin;*.zip", &links), (Names{"A.BIN", "b.bin"}));
    EXPECT_EQ(links, Names{"link.bin"}); // a link is never a file to act on
    EXPECT_EQ(core::list_folder_files(root, "*.TXT"), (Names{"c.txt"}));
    EXPECT_TRUE(core::list_folder_files(root + "missing/", "*").empty());
}

TEST_F(FolderWalk, DivesDeepestFirstAndNeverIntoDotFoldersOrLinks) {
    Names found, links;
    core::dive_folder(dir.path().string(), "*.bin;*.zip", found, nullptr, &links);
    EXPECT_EQ(relative(found),
              (Names{"sub/deep/y.bin", "sub/z.bin", "sub2/x.zip", "A.BIN", "b.bin"}));
    EXPECT_EQ(relative(links), Names{"link.bin"});
}

TEST_F(FolderWalk, UnsetFolderNeverMeansTheRoot) {
    Names found;
    core::dive_folder("", "*", found);
    core::dive_folder("/", "*", found);
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(core::list_folder_files("/", "*").empty());
}

} // namespace
