#include <QAbstractItemModel>
#include <QGroupBox>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "frm_rename_roms.h"
#include "log_box.h"
#include "rom_forge.h"
#include "services.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "zdb_writer.h"

namespace fs = std::filesystem;
using core::Answer;
using core::Message;
using renaming::frmRenameROMs;
using State = renaming::frmRenameROMs::State;

class RenameWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void the_log_is_cut_at_its_limit_and_keeps_the_newest_text();
    void stop_while_collecting_ends_the_run_and_closing_waits_for_it();
    void the_preview_shows_the_plan_that_start_then_carries_out();

private:
    std::unique_ptr<frmRenameROMs> open();
    void rom(const char* name, std::uint32_t crc) {
        m_dir->write(fs::path("roms") / name, testsupport::rom_with_crc(2048, crc, crc ^ 7));
    }
    QPushButton* button(frmRenameROMs& w, const char* name) {
        return w.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QString log(frmRenameROMs& w) { return w.findChild<renaming::LogBox*>()->log_text(); }
    QString cell(frmRenameROMs& w, const char* table, int row, int column) {
        auto* model = w.findChild<QTableView*>(QString::fromLatin1(table))->model();
        return model->data(model->index(row, column)).toString();
    }

    std::unique_ptr<testsupport::TempDir> m_dir;
    std::unique_ptr<testsupport::TrashHome> m_trash;
    std::unique_ptr<core::Services> m_services;
    std::vector<core::SystemEntry> m_systems;
    int m_settings_tab = 0;
    QStringList m_opened;
    int m_refreshed = 0;
    std::vector<Message> m_messages;
    std::function<void()> m_on_message;
    ui::JobContext m_context;
};

void RenameWindowTest::init() {
    m_dir = std::make_unique<testsupport::TempDir>();
    m_trash = std::make_unique<testsupport::TrashHome>(m_dir->path() / "data");
    auto services = core::Services::open({.home = m_dir->path() / "home", .use_cache = false});
    QVERIFY(services);
    m_services = std::make_unique<core::Services>(std::move(*services));
    const fs::path db = m_dir->path() / "TESTSYS.zdb";
    QVERIFY(core::write_zdb(db, 2, testsupport::db_header("TESTSYS", "Test System", "*.bin"),
                            {testsupport::rom_entry(0x11111111, "Alpha (U)"),
                             testsupport::rom_entry(0x22222222, "Beta")}));
    m_systems = {{"Test System", "TESTSYS", "*.bin", db}};
    fs::create_directories(m_dir->path() / "roms");
    m_opened.clear();
    m_refreshed = 0;
    m_messages.clear();
    m_on_message = nullptr;
    m_context = {};
    m_context.services = m_services.get();
    m_context.systems = &m_systems;
    m_context.current_system = 1;
    m_context.current_folder = (m_dir->path() / "roms").string() + "/";
    m_context.file_filter = "*.bin;*.zip";
    m_context.settings_tab = &m_settings_tab;
    m_context.refresh_views = [this] { ++m_refreshed; };
    m_context.open_window = [this](const QString& name) {
        m_opened << name + QString::number(m_settings_tab);
    };
    m_context.answerer = [this](const Message& m) {
        m_messages.push_back(m);
        if (m_on_message)
            m_on_message();
        return Answer::Ok;
    };
}

void RenameWindowTest::cleanup() {
    m_services.reset();
    m_trash.reset();
    m_dir.reset();
}

std::unique_ptr<frmRenameROMs> RenameWindowTest::open() {
    auto w = std::make_unique<frmRenameROMs>(m_context);
    w->show();
    return w;
}

// The box's limit is reached exactly, then overshot by a whole block: either way the
// newest text stays and the log goes on growing from the kept part.
void RenameWindowTest::the_log_is_cut_at_its_limit_and_keeps_the_newest_text() {
    renaming::LogBox box;
    box.append_log(QString(65533, QLatin1Char('a')) + QStringLiteral("\r"));
    QCOMPARE(box.log_text().size(), 65534);
    box.append_log(QStringLiteral("\n"));
    QCOMPARE(box.log_text(), QString(32766, QLatin1Char('a')) + QStringLiteral("\r\n"));
    QCOMPARE(box.toPlainText(), QString(32766, QLatin1Char('a')) + QStringLiteral("\n"));
    box.append_log(QStringLiteral("done."));
    QCOMPARE(box.log_text().size(), 32773);
    QVERIFY(box.toPlainText().endsWith(QStringLiteral("a\ndone.")));
    box.append_log(QString(40000, QLatin1Char('b')));
    QCOMPARE(box.log_text(), QString(32768, QLatin1Char('b')));
}

// The first-load notice holds the run while the window is asked to close; large files
// then keep the collection busy long enough for Stop to land in it. The run ends
// with "aborted." after that file and changes nothing.
void RenameWindowTest::stop_while_collecting_ends_the_run_and_closing_waits_for_it() {
    for (const char* name : {"big 1.bin", "big 2.bin", "big 3.bin", "big 4.bin"}) {
        std::ofstream big(m_dir->path() / "roms" / name, std::ios::binary);
        big.seekp((256LL << 20) - 1); // sparse: it takes no room on the disk
        big.put('x');
    }
    rom("b.bin", 0x11111111);
    rom("c.bin", 0x22222222);
    auto w = open();
    QCOMPARE(w->windowTitle(), QStringLiteral("Rename Test System ROMs"));
    QCOMPARE(w->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(),
             QString::fromStdString(m_context.current_folder));
    QPushButton* ok = button(*w, "cmdOK");
    QPushButton* settings = button(*w, "cmdSettings");
    m_on_message = [&] {
        QCOMPARE(ok->text(), QStringLiteral("Stop"));
        QVERIFY(!settings->isEnabled());
        QVERIFY(!w->findChild<QToolButton*>(QStringLiteral("cmdFolders"))->isEnabled());
        w->close();
        w->reject();
        QVERIFY(w->isVisible());
    };
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_COMPARE(m_messages.size(), std::size_t{1}); // the notice, shown once
    QTRY_VERIFY(log(*w).endsWith(QStringLiteral("Collecting filenames and crc32...")));
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_COMPARE(w->state(), State::Finished);
    QVERIFY(log(*w).endsWith(QStringLiteral("Collecting filenames and crc32...aborted.")));
    QCOMPARE(ok->text(), QStringLiteral("Close"));
    QCOMPARE(settings->text(), QStringLiteral("View Lists"));
    QVERIFY(settings->isEnabled());
    QCOMPARE(testsupport::names_in(m_dir->path() / "roms"),
             (std::vector<std::string>{"b.bin", "big 1.bin", "big 2.bin", "big 3.bin", "big 4.bin",
                                       "c.bin"}));
    QCOMPARE(m_refreshed, 1);
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!w->isVisible());
}

// Settings... and the folders button before a run, the plan shown and carried out as
// shown, then View Lists.
void RenameWindowTest::the_preview_shows_the_plan_that_start_then_carries_out() {
    rom("one.bin", 0x11111111);
    rom("two.bin", 0x22222222);
    rom("Beta.bin", 0x33333333); // takes the name "two.bin" should get
    rom("odd.bin", 0x99999999);
    fs::create_symlink(m_dir->path() / "roms" / "odd.bin", m_dir->path() / "roms" / "link.bin");
    auto w = open();
    QTest::mouseClick(button(*w, "cmdSettings"), Qt::LeftButton);
    QTest::mouseClick(w->findChild<QToolButton*>(QStringLiteral("cmdFolders")), Qt::LeftButton);
    QCOMPARE(m_opened, (QStringList{"General Settings2", "System Settings1"}));

    QTest::mouseClick(button(*w, "cmdPreview"), Qt::LeftButton);
    QTRY_COMPARE(w->state(), State::Previewed);
    const QString root = QString::fromStdString(m_context.current_folder);
    QCOMPARE(w->findChild<QTableView*>(QStringLiteral("tblPlan"))->model()->rowCount(), 1);
    QCOMPARE(cell(*w, "tblPlan", 0, 0), QStringLiteral("Move"));
    QCOMPARE(cell(*w, "tblPlan", 0, 1), root + "one.bin");
    QCOMPARE(cell(*w, "tblPlan", 0, 2), root + "Alpha (U).bin");
    QCOMPARE(testsupport::entry_count(m_dir->path() / "roms"), std::size_t{5});
    QCOMPARE(m_refreshed, 0);

    QTest::mouseClick(button(*w, "cmdOK"), Qt::LeftButton);
    QTRY_COMPARE(w->state(), State::Finished);
    QCOMPARE(
        testsupport::names_in(m_dir->path() / "roms"),
        (std::vector<std::string>{"Alpha (U).bin", "Beta.bin", "link.bin", "odd.bin", "two.bin"}));
    QVERIFY(log(*w).contains(QStringLiteral("Renaming ROMs...done.\r\nProcessing files...done.")));
    QVERIFY(log(*w).contains(QStringLiteral("Files Processed: 4 (2 unrecognized)\r\n")));
    // The problems name their paths: the link left alone and the name taken.
    auto* problems = w->findChild<QTableView*>(QStringLiteral("tblProblems"))->model();
    QCOMPARE(problems->rowCount(), 2);
    QCOMPARE(cell(*w, "tblProblems", 0, 0), root + "link.bin");
    QCOMPARE(cell(*w, "tblProblems", 1, 0), root + "two.bin");
    QCOMPARE(cell(*w, "tblProblems", 1, 2), QStringLiteral("name taken by a different file"));
    QCOMPARE(m_refreshed, 1);
    QTest::mouseClick(button(*w, "cmdSettings"), Qt::LeftButton);
    QCOMPARE(m_opened.last(), QStringLiteral("ROM Lists1"));
}

QTEST_MAIN(RenameWindowTest)
#include "test_frm_rename_roms.moc"
