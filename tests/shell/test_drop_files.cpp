#include "lib/drop_files.h"
#include "shell_fixture.h"

namespace shelltest {
namespace {

TEST(DropFiles, KeepsThePathsWithTheExtensionInOrder) {
    auto files = create<IDropFiles>(CLSID_clsDropFiles, IID_IDropFiles);
    const std::string long_path = "/r/" + std::string(300, 'x') + ".zdb";
    auto data = selection({"/r/a.zdb", "/r/b.txt", "/r/C.ZDB", long_path});
    ASSERT_EQ(files->GetDropFiles(data.get(), ".zdb"), S_OK);
    EXPECT_EQ(files->Count(), 3u);
    EXPECT_STREQ(files->SelectedFile(), "/r/a.zdb");
    EXPECT_STREQ(files->Files(1), "/r/C.ZDB");
    EXPECT_EQ(files->Files(2), long_path);
    EXPECT_STREQ(files->Files(3), "");
    EXPECT_STREQ(files->Files(-1), "");

    ASSERT_EQ(files->GetDropFiles(data.get(), ""), S_OK);
    EXPECT_EQ(files->Count(), 4u);
    ASSERT_EQ(files->GetDropFiles(selection({"/r/b.txt"}).get(), ".zdb"), S_OK);
    EXPECT_STREQ(files->SelectedFile(), "");
}

TEST(DropFiles, ADataObjectWithoutAFileListFails) {
    auto files = create<IDropFiles>(CLSID_clsDropFiles, IID_IDropFiles);
    EXPECT_EQ(files->GetDropFiles(make_empty_data_object().get(), ".zdb"), DV_E_FORMATETC);
    EXPECT_EQ(files->Count(), 0u);
    auto sheet = create<IShellExtInit>(CLSID_clsPropertySheet, IID_IShellExtInit);
    EXPECT_EQ(sheet->Initialize(nullptr, make_empty_data_object().get(), nullptr), DV_E_FORMATETC);
    EXPECT_NE(shell().error_text(DV_E_FORMATETC).find("no list of files"), std::string::npos);
}

} // namespace
} // namespace shelltest
