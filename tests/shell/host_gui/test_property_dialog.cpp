#include <QLineEdit>
#include <QTreeView>
#include <QtTest>

#include "com_ptr.h"
#include "data_object.h"
#include "property_dialog.h"
#include "rom_forge.h"
#include "shell_library.h"
#include "temp_dir.h"
#include "zdb_writer.h"

using namespace zelshell;

namespace {

bool take_page(HPROPSHEETPAGE page, std::intptr_t pages) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
    return true;
}

} // namespace

class PropertyDialogTest : public QObject {
    Q_OBJECT
private slots:
    // The page of a database of 100,000 ROMs, filled through the library as a file manager
    // shows it: every row is in the list, the count has its thousands separator.
    void fillsFromTheLibraryPage() {
        testsupport::TempDir dir;
        auto header = testsupport::db_header("SNES", "Super Nintendo", "*.smc");
        header.credit = "The Dumpers";
        header.version = "7";
        core::RomTable roms;
        for (std::uint32_t i = 0; i < 100000; ++i)
            roms.push_back(testsupport::rom_entry(i + 1, "Game " + std::to_string(i)));
        const auto db = dir.path() / "SNES.zdb";
        QVERIFY(core::write_zdb(db, 3, header, roms).ok());

        auto shell = ShellLibrary::load_beside_executable();
        QVERIFY2(shell.ok(), shell.ok() ? "" : shell.error().message.c_str());
        ComPtr<IShellExtInit> init;
        QCOMPARE(shell->create(CLSID_clsPropertySheet, IID_IShellExtInit, init.put()), S_OK);
        auto data = make_file_drop_object({db.string()});
        QCOMPARE(init->Initialize(nullptr, data.get(), nullptr), S_OK);
        ComPtr<IShellPropSheetExt> sheet;
        QCOMPARE(init->QueryInterface(IID_IShellPropSheetExt, sheet.put()), S_OK);
        std::vector<HPROPSHEETPAGE> pages;
        QCOMPARE(sheet->AddPages(&take_page, reinterpret_cast<std::intptr_t>(&pages)), S_OK);
        QCOMPARE(pages.size(), std::size_t(1));

        PropertyDialog dialog;
        QVERIFY(open_page_dialog(pages.front(), &dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("ROM Database"));
        QCOMPARE(dialog.credit()->text(), QStringLiteral("The Dumpers"));
        QCOMPARE(dialog.count()->text(), QStringLiteral("100,000"));
        QCOMPARE(dialog.version()->text(), QStringLiteral("7"));
        auto* model = dialog.list()->model();
        QCOMPARE(model->rowCount(), 100000);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("CRC32"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Title"));
        QCOMPARE(model->index(99999, 0).data().toString(), QStringLiteral("000186a0"));
        QCOMPARE(model->index(99999, 1).data().toString(), QStringLiteral("Game 99999"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        close_page_dialog(pages.front(), &dialog);
        DestroyPropertySheetPage(pages.front());
    }
};

QTEST_MAIN(PropertyDialogTest)
#include "test_property_dialog.moc"
