#include <cstdlib>

#include "recorded_page.h"
#include "shell_fixture.h"
#include "temp_dir.h"

namespace shelltest {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

std::string tip_of(const fs::path& file, HRESULT expected = S_OK) {
    auto persist = create<IPersistFile>(CLSID_clsQueryInfo, IID_IPersistFile);
    EXPECT_EQ(persist->Load(file.c_str(), 0), S_OK);
    ComPtr<IQueryInfo> info;
    EXPECT_EQ(persist->QueryInterface(IID_IQueryInfo, info.put()), S_OK);
    EXPECT_EQ(persist->GetCurFile(nullptr), E_NOTIMPL);
    EXPECT_EQ(info->GetInfoFlags(nullptr), E_NOTIMPL);
    OLECHAR* tip = nullptr;
    EXPECT_EQ(info->GetInfoTip(0, &tip), expected);
    const std::string text = tip ? tip : "(none)";
    CoTaskMemFree(tip);
    return text;
}

TEST(InfoTip, FiveLinesEmptyValuesForANonDatabaseAndAnErrorForAMissingFile) {
    TempDir dir;
    EXPECT_EQ(tip_of(write_database(dir.path() / "SGENESIS.zdb", 3)),
              "System: Sega Genesis\r\nCredit To: \r\nVersion: 2.5\r\n\r\nDumped with care");
    EXPECT_EQ(tip_of(dir.write("odd.zdb", "\x07rest")),
              "System: \r\nCredit To: \r\nVersion: \r\n\r\n");
    EXPECT_EQ(tip_of(dir.path() / "gone.zdb", kFileNotFound), "(none)");
}

bool take_page(HPROPSHEETPAGE page, std::intptr_t pages) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
    return true;
}
bool refuse_page(HPROPSHEETPAGE, std::intptr_t) {
    return false;
}

RecordedPage page_of(const std::vector<std::string>& selected) {
    auto init = create<IShellExtInit>(CLSID_clsPropertySheet, IID_IShellExtInit);
    EXPECT_EQ(init->Initialize(nullptr, selection(selected).get(), nullptr), S_OK);
    ComPtr<IShellPropSheetExt> sheet;
    EXPECT_EQ(init->QueryInterface(IID_IShellPropSheetExt, sheet.put()), S_OK);
    EXPECT_EQ(sheet->ReplacePage(0, &take_page, 0), E_NOTIMPL);
    EXPECT_EQ(sheet->AddPages(&refuse_page, 0), S_OK);
    std::vector<HPROPSHEETPAGE> pages;
    EXPECT_EQ(sheet->AddPages(&take_page, reinterpret_cast<std::intptr_t>(&pages)), S_OK);
    RecordedPage recorded;
    if (pages.size() != 1)
        return recorded;
    EXPECT_STREQ(pages[0]->pszTitle, "ROM Database");
    EXPECT_EQ(pages[0]->templateId, 106);
    fill_page(pages[0], recorded);
    DestroyPropertySheetPage(pages[0]);
    return recorded;
}

TEST(PropertyPage, FillsFromTheFirstDatabaseAndLetsItsHandlerGo) {
    ::setenv("LC_ALL", "C", 1); // no grouping in the locale: "," all the same
    TempDir dir;
    const auto big = write_database(dir.path() / "big.zdb", 1234);
    const auto empty = write_database(dir.path() / "empty.zdb", 0);
    const auto page = page_of({(dir.path() / "a.txt").string(), big.string(), empty.string()});
    EXPECT_EQ(page.item(kCountBox), "1,234");
    EXPECT_EQ(page.item(kVersionBox), "2.5");
    EXPECT_EQ(page.columns, (std::vector<std::string>{"CRC32", "Title"}));
    ASSERT_EQ(page.rows.size(), 1234u);
    EXPECT_EQ(page.rows[1], std::make_pair(std::string("0000ab01"), std::string("Game 1")));

    const auto none = page_of({empty.string()});
    EXPECT_TRUE(none.items.count(kCountBox) && none.item(kCountBox).empty());
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(shell().can_unload_now(), S_OK); // pages gave their handlers back

    auto init = create<IShellExtInit>(CLSID_clsPropertySheet, IID_IShellExtInit);
    ASSERT_EQ(init->Initialize(nullptr, selection({"/r/a.txt"}).get(), nullptr), S_OK);
    ComPtr<IShellPropSheetExt> sheet;
    init->QueryInterface(IID_IShellPropSheetExt, sheet.put());
    EXPECT_EQ(sheet->AddPages(&take_page, 0), E_INVALIDARG); // no database among them
}

} // namespace
} // namespace shelltest
