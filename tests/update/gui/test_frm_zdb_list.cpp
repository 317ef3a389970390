#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "app_home.h"
#include "frm_zdb_list.h"
#include "local_server.h"
#include "progress_window.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb.h"
#include "zdb_list_model.h"
#include "zdb_writer.h"

namespace fs = std::filesystem;
using core::Message;
using update::frmZDBList;

class ZdbListWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void statuses_marks_and_uncheck_all();
    void the_same_column_flips_the_order_another_sorts_ascending();
    void a_dead_server_is_told_and_the_window_closes();
    void stop_ends_a_download_that_closing_could_not();
    void downloaded_databases_join_the_system_list_failures_are_told();

private:
    std::unique_ptr<frmZDBList> open(const std::string& root);
    void publish(const std::string& name, const std::string& version);
    void put_local(const std::string& name, const std::string& version);
    fs::path local(const std::string& name) const {
        return m_home->path() / "databases" / (name + ".zdb");
    }
    static int row_of(const frmZDBList& w, const char* name);
    static QString cell(const frmZDBList& w, const char* name, int column) {
        const auto* model = w.model();
        return model->index(row_of(w, name), column).data().toString();
    }
    static bool marked(const frmZDBList& w, const char* name) {
        return w.model()->index(row_of(w, name), 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    static QString log_of(const frmZDBList& w) {
        return w.findChild<QPlainTextEdit*>(QStringLiteral("txtLog"))->toPlainText();
    }
    static void click(frmZDBList& w, const char* button) {
        QTest::mouseClick(w.findChild<QPushButton*>(QString::fromUtf8(button)), Qt::LeftButton);
    }

    std::unique_ptr<testsupport::TempDir> m_home, m_site;
    std::unique_ptr<testsupport::LocalServer> m_server;
    ui::JobContext m_context;
    std::vector<core::SystemEntry> m_systems;
    std::vector<Message> m_messages;
    int m_changes = 0;
};

void ZdbListWindowTest::init() {
    m_home = std::make_unique<testsupport::TempDir>();
    m_site = std::make_unique<testsupport::TempDir>();
    core::set_app_home(m_home->path());
    fs::create_directories(m_home->path() / "databases");
    m_server = std::make_unique<testsupport::LocalServer>();
    m_server->serve_folder(m_site->path());
    m_messages.clear();
    m_systems.clear();
    m_changes = 0;
    m_context = {};
    m_context.systems = &m_systems;
    m_context.systems_changed = [this] { ++m_changes; };
    m_context.answerer = [this](const Message& m) {
        m_messages.push_back(m);
        return core::Answer::Ok;
    };
    // Titles in the server's order; ../ESCAPE may never become a file.
    m_site->write("zelkon/list.php", "Name\tVersion\tNotes\r\n"
                                     "SGENESIS\t1.2\tMega\r\n"
                                     "SNES\t1.10\tSuper\t\r\n"
                                     "GBA\t2.0\r\n"
                                     "../ESCAPE\t1\tbad\r\n");
}

void ZdbListWindowTest::cleanup() {
    m_server.reset();
    qunsetenv("ZELKON_UPDATE_ROOT");
}

std::unique_ptr<frmZDBList> ZdbListWindowTest::open(const std::string& root) {
    qputenv("ZELKON_UPDATE_ROOT", QByteArray::fromStdString(root));
    auto w = std::make_unique<frmZDBList>(m_context);
    w->show();
    return w;
}

void ZdbListWindowTest::publish(const std::string& name, const std::string& version) {
    core::ZdbHeader header = testsupport::db_header(name, name + " games", "*.bin");
    header.version = version;
    const fs::path file = m_site->path() / "zelkon/zdb" / (name + ".zdb");
    fs::create_directories(file.parent_path());
    QVERIFY(core::write_zdb(file, 3, header, {testsupport::rom_entry(0x12345678, "Game")}));
}

void ZdbListWindowTest::put_local(const std::string& name, const std::string& version) {
    core::ZdbHeader header = testsupport::db_header(name, name + " games", "*.bin");
    header.version = version;
    QVERIFY(core::write_zdb(local(name), 3, header, {testsupport::rom_entry(0x1, "Old")}));
}

int ZdbListWindowTest::row_of(const frmZDBList& w, const char* name) {
    for (int r = 0; r < w.model()->rowCount(); ++r)
        if (w.model()->name(r) == QLatin1String(name))
            return r;
    return -1;
}

void ZdbListWindowTest::statuses_marks_and_uncheck_all() {
    put_local("SGENESIS", "1.2");
    put_local("SNES", "1.1");
    auto w = open(m_server->root());
    QTRY_COMPARE(w->model()->rowCount(), 4);
    QVERIFY(!w->running());
    const QStringList titles = {"Name", "Version", "Notes", "Status"};
    for (int c = 0; c < titles.size(); ++c)
        QCOMPARE(w->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);
    QCOMPARE(cell(*w, "SGENESIS", 3), QStringLiteral("Current"));
    QCOMPARE(cell(*w, "SNES", 3), QStringLiteral("Update Available"));
    QCOMPARE(cell(*w, "SNES", 2), QStringLiteral("Super")); // the trailing tab adds no field
    QCOMPARE(cell(*w, "GBA", 3), QStringLiteral("New Database"));
    QCOMPARE(cell(*w, "GBA", 2), QString());
    QVERIFY(!marked(*w, "SGENESIS"));
    QVERIFY(marked(*w, "SNES") && marked(*w, "GBA"));

    // A name that may not become a file carries no check box at all.
    const QModelIndex escape = w->model()->index(row_of(*w, "../ESCAPE"), 0);
    QVERIFY(!(w->model()->flags(escape) & Qt::ItemIsUserCheckable));
    QVERIFY(!w->model()->setData(escape, Qt::Checked, Qt::CheckStateRole));

    click(*w, "cmdUncheck");
    QVERIFY(!marked(*w, "SNES") && !marked(*w, "GBA"));
    const QModelIndex gba = w->model()->index(row_of(*w, "GBA"), 0);
    QVERIFY(w->model()->setData(gba, Qt::Checked, Qt::CheckStateRole));
    QVERIFY(marked(*w, "GBA"));

    // Refresh List marks by the local files again.
    click(*w, "cmdRefreshList");
    QTRY_VERIFY(!w->running());
    QVERIFY(marked(*w, "SNES"));
}

void ZdbListWindowTest::the_same_column_flips_the_order_another_sorts_ascending() {
    auto w = open(m_server->root());
    QTRY_COMPARE(w->model()->rowCount(), 4);
    QHeaderView* header = w->findChild<QTreeView*>(QStringLiteral("ListView1"))->header();
    const auto click_title = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 4, 4));
    };
    const auto names = [&] {
        QStringList out;
        for (int r = 0; r < w->model()->rowCount(); ++r)
            out << w->model()->name(r);
        return out.join(QLatin1Char(' '));
    };
    click_title(0);
    QCOMPARE(names(), QStringLiteral("../ESCAPE GBA SGENESIS SNES"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    click_title(0);
    QCOMPARE(names(), QStringLiteral("SNES SGENESIS GBA ../ESCAPE"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    click_title(1); // another column starts ascending; "1.10" < "1.2" as text
    QCOMPARE(names(), QStringLiteral("../ESCAPE SNES SGENESIS GBA"));
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // The order holds when the list is fetched again.
    click(*w, "cmdRefreshList");
    QTRY_VERIFY(!w->running());
    QCOMPARE(names(), QStringLiteral("../ESCAPE SNES SGENESIS GBA"));
}

void ZdbListWindowTest::a_dead_server_is_told_and_the_window_closes() {
    auto w = open("http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + "/zelkon/");
    QTRY_VERIFY(!w->isVisible());
    QCOMPARE(m_messages.size(), std::size_t{1});
    QCOMPARE(m_messages[0].title, std::string("Cannot Connect to Server"));
    QCOMPARE(m_messages[0].icon, Message::Icon::Exclamation);
    QVERIFY(m_messages[0].text.find("list.php") != std::string::npos);
    QCOMPARE(w->model()->rowCount(), 0);
}

void ZdbListWindowTest::stop_ends_a_download_that_closing_could_not() {
    put_local("SNES", "1.1");
    m_server->on("/zelkon/zdb/SNES.zdb",
                 testsupport::Reply{.body = std::string(16 * 4096, 'x'), .pause_ms = 300});
    auto w = open(m_server->root());
    QTRY_COMPARE(w->model()->rowCount(), 4);
    click(*w, "cmdUncheck");
    w->model()->setData(w->model()->index(row_of(*w, "SNES"), 0), Qt::Checked, Qt::CheckStateRole);
    click(*w, "cmdUpdate");
    auto* status = w->findChild<QLabel*>(QStringLiteral("lblStatus"));
    QTRY_VERIFY2(status->text().contains(QStringLiteral(" of 64")), qPrintable(status->text()));
    QVERIFY(status->text().startsWith(QStringLiteral("Downloading SNES.zdb (1 of 1)")));
    auto* bar = w->findChild<ui::ProgressPicture*>(QStringLiteral("picProgress"));
    QCOMPARE(bar->filled_width(), bar->width());
    QVERIFY(!w->findChild<QFrame*>(QStringLiteral("Frame2"))->isEnabled());

    w->close();
    QVERIFY(w->isVisible());
    click(*w, "cmdStop");
    QTRY_VERIFY(!w->running());
    QCOMPARE(core::read_zdb_version(local("SNES")), std::string("1.1"));
    QCOMPARE(testsupport::names_in(m_home->path() / "databases"),
             std::vector<std::string>{"SNES.zdb"});
    QCOMPARE(bar->filled_width(), 0);
    QVERIFY(log_of(*w).contains(QStringLiteral("The update was stopped")));
    QCOMPARE(cell(*w, "SNES", 3), QStringLiteral("Update Available"));
    QVERIFY(m_messages.empty());
    w->close();
    QVERIFY(!w->isVisible());
}

void ZdbListWindowTest::downloaded_databases_join_the_system_list_failures_are_told() {
    put_local("SNES", "1.1");
    publish("SNES", "1.10");
    publish("GBA", "2.0");
    m_systems.push_back({"SNES games", "SNES", "*.bin", local("SNES")});
    auto w = open(m_server->root());
    QTRY_COMPARE(w->model()->rowCount(), 4);
    click(*w, "cmdUpdate");
    QTRY_VERIFY(!w->running());
    QCOMPARE(core::read_zdb_version(local("SNES")), std::string("1.10"));
    QCOMPARE(core::read_zdb_version(local("GBA")), std::string("2.0"));
    QCOMPARE(cell(*w, "SNES", 3), QStringLiteral("Current"));
    QCOMPARE(cell(*w, "GBA", 3), QStringLiteral("Current"));
    // The server has no SGENESIS: it stays new and marked, and the run says so.
    QCOMPARE(cell(*w, "SGENESIS", 3), QStringLiteral("New Database"));
    QVERIFY(marked(*w, "SGENESIS"));
    QVERIFY2(log_of(*w).contains(QStringLiteral("Downloaded 2 of 3 databases; 1 failed.")),
             qPrintable(log_of(*w)));

    // SNES was listed already and keeps its place (the selection is a place); GBA comes
    // after it; a database that could not be fetched is not listed.
    QCOMPARE(m_changes, 1);
    QCOMPARE(m_systems.size(), std::size_t{2});
    QCOMPARE(m_systems[1].id, std::string("GBA"));
    QCOMPARE(m_systems[1].long_name, std::string("GBA games"));

    click(*w, "cmdUncheck");
    click(*w, "cmdUpdate");
    QTRY_COMPARE(m_messages.size(), std::size_t{1});
    QCOMPARE(m_messages[0].title, std::string("Nothing to Do"));
    QTRY_VERIFY(!w->running());
    QVERIFY(w->isVisible());
    QCOMPARE(m_changes, 1);
}

QTEST_MAIN(ZdbListWindowTest)
#include "test_frm_zdb_list.moc"
