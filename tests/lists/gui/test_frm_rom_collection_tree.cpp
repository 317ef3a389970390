#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "choose_folder.h"
#include "frm_rom_collection_tree.h"
#include "rom_forge.h"
#include "services.h"
#include "settings.h"
#include "temp_dir.h"
#include "when_shown.h"
#include "zdb_writer.h"

namespace fs = std::filesystem;
using lists::frmROMCollectionTree;
using lists::ResultTree;

using testsupport::q;
using testsupport::when_shown;

namespace {

void choose(const fs::path& file) {
    when_shown<QFileDialog>([file](QFileDialog* dialog) {
        dialog->selectFile(q(file));
        static_cast<QDialog*>(dialog)->accept();
    });
}

void choose_folder_ok() {
    when_shown<ui::frmChooseFolder>([](QWidget* chooser) {
        QTest::mouseClick(chooser->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
}

} // namespace

class CollectionWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void the_wizard_scans_and_goes_back_and_forth();
    void a_session_means_checksums_and_is_saved_only_after_a_checksum_scan();
    void filters_hide_entries_from_the_tree_and_the_lists_until_show_all();
    void unrecognized_files_are_moved_and_the_tree_follows();

private:
    std::unique_ptr<frmROMCollectionTree> open();
    void scan(frmROMCollectionTree& w);
    QString text(frmROMCollectionTree& w, ResultTree::Root root, int row = -1) const;
    bool pictured(frmROMCollectionTree& w, ResultTree::Root root, int row) const;

    std::unique_ptr<testsupport::TempDir> m_dir;
    std::unique_ptr<core::Services> m_services;
    std::vector<core::SystemEntry> m_systems;
    ui::JobContext m_context;
    std::vector<core::Message> m_messages;
    fs::path m_roms;
};

void CollectionWindowTest::init() {
    m_dir = std::make_unique<testsupport::TempDir>();
    auto services = core::Services::open({.home = m_dir->path(), .use_cache = false});
    QVERIFY(services);
    m_services = std::make_unique<core::Services>(std::move(*services));
    const fs::path db = m_dir->path() / "databases" / "TESTSYS.zdb";
    fs::create_directories(db.parent_path());
    QVERIFY(core::write_zdb(db, 2, testsupport::db_header("TESTSYS", "Test System", "*.bin"),
                            {testsupport::rom_entry(0x11111111, "Alpha (E)"),
                             testsupport::rom_entry(0x22222222, "Beta (U)"),
                             testsupport::rom_entry(0x33333333, "Gamma [b]")}));
    m_systems = {{"Test System", "TESTSYS", "*.bin", db}};
    m_roms = m_dir->path() / "roms";
    m_dir->write("roms/alpha (e).bin", testsupport::rom_with_crc(64, 0x11111111));
    m_dir->write("roms/sub/stray.bin", testsupport::rom_with_crc(64, 0x44444444));
    QVERIFY(core::write_setting("TESTSYS", "RenameFolder", m_roms.string()));
    m_messages.clear();
    m_context = {};
    m_context.services = m_services.get();
    m_context.systems = &m_systems;
    m_context.current_system = 1;
    m_context.current_folder = m_dir->path().string() + "/";
    m_context.answerer = [this](const core::Message& m) {
        m_messages.push_back(m);
        return core::Answer::Ok;
    };
    ui::chosen_folder.clear();
}

void CollectionWindowTest::cleanup() {
    m_services.reset();
    m_dir.reset();
}

std::unique_ptr<frmROMCollectionTree> CollectionWindowTest::open() {
    auto w = std::make_unique<frmROMCollectionTree>(m_context);
    w->show();
    return w;
}

void CollectionWindowTest::scan(frmROMCollectionTree& w) {
    QTest::mouseClick(w.cmdNext, Qt::LeftButton);
    QTRY_VERIFY(!w.busy() && w.Frame1->isVisible());
}

QString CollectionWindowTest::text(frmROMCollectionTree& w, ResultTree::Root root, int row) const {
    QModelIndex index = w.model()->index(root, 0);
    if (row >= 0)
        index = w.model()->index(row, 0, index);
    return index.data().toString();
}

bool CollectionWindowTest::pictured(frmROMCollectionTree& w, ResultTree::Root root, int row) const {
    auto index = w.model()->index(row, 0, w.model()->index(root, 0));
    return !index.data(Qt::DecorationRole).value<QIcon>().isNull();
}

void CollectionWindowTest::the_wizard_scans_and_goes_back_and_forth() {
    QVERIFY(core::write_setting("general", "MatchByFilename", "False"));
    auto w = open();
    QCOMPARE(w->windowTitle(), " ROM Collection Lists - Test System");
    QVERIFY(w->Frame0->isVisible() && !w->Frame1->isVisible());
    QVERIFY(w->cmdNext->isEnabled() && !w->cmdBack->isEnabled());
    QVERIFY(w->radMatchChecksum->isChecked());
    QCOMPARE(w->txtBaseFolder->text(), q(m_roms) + "/");
    QCOMPARE(w->findChild<QLabel*>("Label6")->text(), "Previous Session:");
    QCOMPARE(w->lblProgress->text(), "Waiting...");

    scan(*w);
    QVERIFY(w->cmdBack->isEnabled() && !w->cmdNext->isEnabled());
    QCOMPARE(text(*w, ResultTree::kMatched), "Matched: 1 ROM");
    QCOMPARE(text(*w, ResultTree::kMissing), "Missing: 2 ROMs");
    QCOMPARE(text(*w, ResultTree::kUnrecognized), "Unrecognized: 1 ROM");
    QCOMPARE(text(*w, ResultTree::kUnrecognized, 0), q(m_roms / "sub/stray.bin"));
    QVERIFY(pictured(*w, ResultTree::kMissing, 1));

    // The search keeps each root's counts in view, of what it leaves and of all.
    w->txtSearch->setText("TA (");
    QTRY_COMPARE(w->model()->rowCount(w->model()->index(ResultTree::kMissing, 0)), 1);
    QCOMPARE(text(*w, ResultTree::kMissing, 0), "Beta (U)");
    QCOMPARE(w->lblCounts->text(), "Matched 0 of 1 · Missing 1 of 2 · Unrecognized 0 of 1");
    QCOMPARE(text(*w, ResultTree::kMissing), "Missing: 2 ROMs");

    QTest::mouseClick(w->cmdBack, Qt::LeftButton);
    QVERIFY(w->Frame0->isVisible() && !w->Frame1->isVisible());
    QVERIFY(w->cmdNext->isEnabled() && !w->cmdBack->isEnabled());

    // By file name, "alpha (e)" is "Alpha (E)", and the choice is remembered.
    w->radMatchFilename->setChecked(true);
    scan(*w);
    QCOMPARE(core::read_setting("general", "MatchByFilename", "").text(), "True");
    QCOMPARE(text(*w, ResultTree::kMatched), "Matched: 1 ROM");
    QCOMPARE(w->model()->total_count(ResultTree::kMatched), 1u);

    // Closing waits for the run; Stop ends it on the set-up page.
    for (int i = 0; i < 2000; ++i)
        m_dir->write("many/" + std::to_string(i) + ".bin", std::to_string(i));
    w->cmdBack->click();
    w->radMatchChecksum->setChecked(true);
    w->txtBaseFolder->setText(q(m_dir->path() / "many/"));
    QTest::mouseClick(w->cmdNext, Qt::LeftButton);
    w->reject();
    QVERIFY(w->isVisible() && w->cmdStop->isVisible() && !w->cmdClose->isEnabled());
    QTest::mouseClick(w->cmdStop, Qt::LeftButton);
    QTRY_VERIFY(!w->busy());
    QVERIFY(w->Frame0->isVisible() && w->cmdNext->isEnabled() && !w->cmdStop->isVisible());

    // A folder that is gone is said, and the set-up page stays.
    w->txtBaseFolder->setText(q(m_dir->path() / "gone/"));
    QTest::mouseClick(w->cmdNext, Qt::LeftButton);
    QTRY_COMPARE(m_messages.size(), 1u);
    QVERIFY(m_messages[0].text.find("does not exist") != std::string::npos);
    QTRY_VERIFY(w->cmdNext->isEnabled() && w->Frame0->isVisible());
}

void CollectionWindowTest::a_session_means_checksums_and_is_saved_only_after_a_checksum_scan() {
    const fs::path old = m_dir->write("old.rcl", "22222222 Beta file\r\n");
    auto w = open();
    QVERIFY(w->radMatchFilename->isChecked());
    choose(old);
    w->cmdLoadSession->click();
    QCOMPARE(w->txtPreviousSession->text(), q(old));
    QVERIFY(w->radMatchChecksum->isChecked() && !w->radMatchFilename->isEnabled());
    when_shown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    w->cmdLoadSession->click();
    QVERIFY(w->txtPreviousSession->text().isEmpty() && w->radMatchFilename->isEnabled());

    w->radMatchFilename->setChecked(true);
    scan(*w);
    QVERIFY(!w->cmdSaveSession->isEnabled());

    w->cmdBack->click();
    choose(old);
    w->cmdLoadSession->click();
    scan(*w);
    QVERIFY(w->cmdSaveSession->isEnabled());
    QCOMPARE(text(*w, ResultTree::kMatched), "Matched: 2 ROMs");

    const fs::path saved = m_dir->path() / "new.rcl";
    choose(saved);
    w->cmdSaveSession->click();
    const std::string lines = testsupport::read_file(saved);
    QVERIFY(lines.find("22222222 Beta file\r\n") != std::string::npos);
    QVERIFY(lines.find("11111111 alpha (e)\r\n") != std::string::npos);
    QVERIFY(lines.find("44444444 stray\r\n") != std::string::npos);
}

void CollectionWindowTest::filters_hide_entries_from_the_tree_and_the_lists_until_show_all() {
    m_dir->write("filter.ini", "Europe:(e)\r\nBad Dumps:[b];[o]\r\nno caption here\r\n"
                               "A:1\r\nB:2\r\nC:3\r\nD:4\r\nE:5\r\nF:6\r\nG:7\r\n");
    const fs::path out = m_dir->path() / "out";
    fs::create_directories(out);
    QVERIFY(core::write_setting("general", "ROMListFolder", out.string()));
    auto w = open();
    int visible = 0;
    for (auto* action : w->mnuFilter)
        visible += action->isVisible() && action->isChecked();
    QCOMPARE(visible, 8);
    QCOMPARE(w->mnuFilter[1]->text(), "Bad Dumps");
    scan(*w);

    auto* viewport = w->ROMTree->viewport();
    QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(10, 10));
    QTRY_VERIFY(w->mnuPopup->isVisible());
    w->mnuFilter[0]->trigger();
    w->mnuFilter[1]->trigger();
    w->mnuPopup->hide();
    QVERIFY(!pictured(*w, ResultTree::kMatched, 0)); // Alpha (E)
    QVERIFY(pictured(*w, ResultTree::kMissing, 0));  // Beta (U)
    QVERIFY(!pictured(*w, ResultTree::kMissing, 1)); // Gamma [b]

    choose_folder_ok();
    w->cmdSaveList->click();
    QCOMPARE(testsupport::read_file(out / "testsys_have.txt"),
             " You have 0 of 1 known Test System ROMs (Excluding: Europe, Bad Dumps)\r\n\r\n");
    QCOMPARE(testsupport::read_file(out / "testsys_miss.txt"),
             " You are missing 1 of 1 known Test System ROMs (Excluding: Europe, Bad Dumps)"
             "\r\n\r\nBeta (U)\r\n");

    w->mnuPopupShowAll->trigger();
    QVERIFY(w->mnuFilter[0]->isChecked() && w->mnuFilter[1]->isChecked());
    QVERIFY(pictured(*w, ResultTree::kMatched, 0) && pictured(*w, ResultTree::kMissing, 1));
    choose_folder_ok();
    w->cmdSaveList->click();
    QCOMPARE(testsupport::read_file(out / "testsys_have.txt"),
             " You have 1 of 3 known Test System ROMs\r\n\r\nAlpha (E)\r\n");
}

void CollectionWindowTest::unrecognized_files_are_moved_and_the_tree_follows() {
    const fs::path target = m_dir->path() / "strays";
    fs::create_directories(target);
    auto w = open();
    scan(*w);
    ui::chosen_folder = q(target);
    choose_folder_ok();
    w->cmdCopyROMs[1]->click();
    QTRY_VERIFY(!w->busy() && m_messages.size() == 1);
    QCOMPARE(m_messages[0].title, "Done");
    QVERIFY(fs::exists(target / "stray.bin") && !fs::exists(m_roms / "sub/stray.bin"));
    QCOMPARE(text(*w, ResultTree::kUnrecognized, 0), q(target / "stray.bin"));
    QCOMPARE(text(*w, ResultTree::kUnrecognized), "Unrecognized: 1 ROM");

    // Nothing unrecognized: nothing to do, and no folder is asked for.
    fs::remove(target / "stray.bin");
    w->cmdBack->click();
    scan(*w);
    w->cmdCopyROMs[0]->click();
    QCOMPARE(m_messages.size(), 2u);
    QCOMPARE(m_messages[1].title, "Nothing to Do");
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(CollectionWindowTest)
#include "test_frm_rom_collection_tree.moc"
