#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <deque>
#include <memory>
#include <mutex>

#include "file_list.h"
#include "folder_tree.h"
#include "frm_about.h"
#include "frm_zelkon.h"
#include "local_server.h"
#include "main_menus.h"
#include "news.h"
#include "rom_forge.h"
#include "services.h"
#include "settings.h"
#include "splitter_bar.h"
#include "temp_dir.h"
#include "zdb_writer.h"

namespace fs = std::filesystem;
using core::Answer;
using core::Message;
using mainwindow::frmZelkon;

namespace {

// Called from the worker that fetched the news.
class RecordingViewer final : public update::TextViewer {
public:
    bool show(const fs::path& file) override {
        std::lock_guard lock(m_mutex);
        m_shown.push_back(file.filename().string());
        return true;
    }
    std::vector<std::string> shown() const {
        std::lock_guard lock(m_mutex);
        return m_shown;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_shown;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void a_missing_databases_folder_is_told_and_leaves_every_system_command_off();
    void start_up_selects_the_last_system_and_the_start_folder_wins();
    void the_about_window_shows_once_per_version();
    void the_stored_place_is_clamped_and_the_normal_size_saved_when_maximised();
    void hidden_bars_are_restored_and_move_the_panes();
    void menus_follow_the_system_and_the_connection();
    void the_file_list_follows_the_system_and_the_folder();
    void sorting_asks_first_moves_and_undo_puts_back();
    void the_window_runs_on_during_a_long_sort();
    void the_automatic_news_shows_once_per_run_and_read_news_on_request();

private:
    void database(const char* id, const char* name, const char* patterns);
    fs::path folder(const std::string& relative, std::initializer_list<const char*> files);
    std::unique_ptr<frmZelkon> start();
    std::string stored(const char* key, const char* section = "general") const {
        return core::read_setting(section, key, "<none>").text();
    }
    QAction* action(frmZelkon& w, const char* name) const {
        return w.menus()->action(QString::fromUtf8(name));
    }

    std::unique_ptr<testsupport::TempDir> m_dir;
    std::unique_ptr<core::Services> m_services;
    std::vector<Message> m_messages;
    std::deque<Answer> m_answers;
    int m_abouts = 0;
    bool m_online = false;
    RecordingViewer m_viewer;
};

void MainWindowTest::init() {
    m_dir = std::make_unique<testsupport::TempDir>();
    fs::create_directories(m_dir->path() / "databases");
    auto services = core::Services::open({.home = m_dir->path(), .use_cache = false});
    QVERIFY(services);
    m_services = std::make_unique<core::Services>(std::move(*services));
    m_messages.clear();
    m_answers.clear();
    m_abouts = 0;
    m_online = false;
}

void MainWindowTest::cleanup() {
    m_services.reset();
    m_dir.reset();
}

void MainWindowTest::database(const char* id, const char* name, const char* patterns) {
    QVERIFY(core::write_zdb(m_dir->path() / "databases" / (std::string(id) + ".zdb"), 2,
                            testsupport::db_header(id, name, patterns),
                            {testsupport::rom_entry(0x11111111, "Alpha (U)")}));
}

fs::path MainWindowTest::folder(const std::string& relative,
                                std::initializer_list<const char*> files) {
    const fs::path path = m_dir->path() / relative;
    fs::create_directories(path);
    for (const char* file : files)
        m_dir->write(fs::path(relative) / file, "x");
    return path;
}

std::unique_ptr<frmZelkon> MainWindowTest::start() {
    mainwindow::MainWindowHooks hooks;
    hooks.is_online = [this] { return m_online; };
    hooks.answerer = [this](const Message& m) {
        m_messages.push_back(m);
        if (m_answers.empty())
            return Answer::Yes;
        const Answer a = m_answers.front();
        m_answers.pop_front();
        return a;
    };
    hooks.viewer = &m_viewer;
    hooks.show_about = [this](QWidget*) { ++m_abouts; };
    hooks.screen = QSize(1024, 768);
    auto window = std::make_unique<frmZelkon>(*m_services, hooks);
    window->load();
    return window;
}

void MainWindowTest::a_missing_databases_folder_is_told_and_leaves_every_system_command_off() {
    fs::remove(m_dir->path() / "databases");
    QVERIFY(core::write_setting("general", "LastSystem", "NES"));
    auto w = start();
    QCOMPARE(m_messages.size(), 1u);
    QCOMPARE(m_messages[0].title, std::string("Folder Not Found"));
    QCOMPARE(m_messages[0].icon, Message::Icon::Critical);
    QVERIFY(m_messages[0].text.starts_with("The 'Databases' folder was not found!"));
    QCOMPARE(w->current_system(), 0u);
    w->menus()->enable_all();
    for (const char* name : {"mnuFileRenameROMs", "mnuFilesortROMs", "mnuFileUnsortROMs",
                             "mnuEditSystemSettings", "mnuViewROMCollectionTree"})
        QVERIFY2(!action(*w, name)->isEnabled(), name);
    QVERIFY(!w->toolbar()->isEnabled());
    w->close();
    QCOMPARE(stored("LastSystem"), std::string("NES")); // left as it was
    QCOMPARE(stored("WindowState"), std::string("0"));
}

void MainWindowTest::start_up_selects_the_last_system_and_the_start_folder_wins() {
    database("NES", "Nintendo", "*.nes");
    database("SGENESIS", "Genesis", "*.bin;*.smd");
    const fs::path start_folder = folder("start", {});
    const fs::path default_folder = folder("genesis", {});
    QVERIFY(core::write_setting("general", "LastSystem", "SGENESIS"));
    QVERIFY(core::write_setting("general", "StartupFolder", start_folder.string()));
    QVERIFY(core::write_setting("SGENESIS", "UseDefaultFolder", "1"));
    QVERIFY(core::write_setting("SGENESIS", "DefaultFolder", default_folder.string()));
    auto w = start();
    QCOMPARE(w->systems().size(), 2u);
    QCOMPARE(w->current_system(), 2u);
    QCOMPARE(stored("ZDBLoaded", "NES"), std::string("0"));
    QTRY_COMPARE(w->current_folder(), start_folder.string() + "/");
    QCOMPARE(w->findChild<QLineEdit*>("txtFolder")->text().toStdString(),
             " " + start_folder.string() + "/");

    // Choosing the system again opens its default folder.
    auto* box = w->findChild<QComboBox*>("cmbSystems");
    QCOMPARE(box->count(), 2);
    QVERIFY(QMetaObject::invokeMethod(box, "activated", Q_ARG(int, 1)));
    QTRY_COMPARE(w->current_folder(), default_folder.string() + "/");
    w->close();
    QCOMPARE(stored("LastSystem"), std::string("SGENESIS"));
}

void MainWindowTest::the_about_window_shows_once_per_version() {
    start()->close();
    start()->close();
    QCOMPARE(m_abouts, 1);
    QVERIFY(core::write_setting("general", "version", "Zelkon 1.29"));
    start()->close();
    QCOMPARE(m_abouts, 2);

    mainwindow::frmAbout about;
    about.show();
    QCOMPARE(about.windowTitle(), QStringLiteral("About Zelkon"));
    const QRect ok = about.ok_button()->geometry();
    QCOMPARE(ok.left(), about.width() / 2 - ok.width() / 2); // centred
}

void MainWindowTest::the_stored_place_is_clamped_and_the_normal_size_saved_when_maximised() {
    // The screen is 1024 x 768 pixels: 15360 x 11520 twips.
    QVERIFY(core::write_setting("general", "Left", "20000"));
    QVERIFY(core::write_setting("general", "Top", "1500"));
    QVERIFY(core::write_setting("general", "Width", "99999"));
    QVERIFY(core::write_setting("general", "Height", "6000"));
    auto w = start();
    QCOMPARE(w->pos(), QPoint(0, 100));
    QCOMPARE(w->size(), QSize(1024, 400));
    w->showMaximized();
    QTRY_VERIFY(w->isMaximized());
    w->close();
    QCOMPARE(stored("WindowState"), std::string("2"));
    QCOMPARE(stored("Width"), std::string("15360"));
    QCOMPARE(stored("Height"), std::string("6000"));
}

void MainWindowTest::hidden_bars_are_restored_and_move_the_panes() {
    database("NES", "Nintendo", "*.nes");
    QVERIFY(core::write_setting("general", "Toolbar", "0"));
    auto w = start();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(w->toolbar()->isHidden());
    QVERIFY(!action(*w, "mnuViewToolbars")->isChecked());
    QCOMPARE(w->splitter()->top(), 3);
    QCOMPARE(w->splitter()->height_offset(), w->status_bar()->height() + 1);

    action(*w, "mnuViewToolbars")->trigger();
    QCOMPARE(w->splitter()->top(), w->toolbar()->height() + 3);
    action(*w, "mnuViewStatusBar")->trigger();
    QCOMPARE(w->splitter()->height_offset(), 1);
    // The panes fill the client below the bars; their controls are placed in twips.
    QCOMPARE(w->findChild<QWidget*>("Frame1")->y(), w->toolbar()->height() + 3);
    QCOMPARE(w->findChild<QWidget*>("cmbSystems")->x(), 1);
    QCOMPARE(w->findChild<QWidget*>("txtFolder")->width(),
             w->findChild<QWidget*>("Frame2")->width() - 2);
    w->close();
    QCOMPARE(stored("Toolbar"), std::string("1"));
    QCOMPARE(stored("Statusbar"), std::string("0"));
}

void MainWindowTest::menus_follow_the_system_and_the_connection() {
    database("NES", "Nintendo", "*.nes");
    auto w = start();
    m_online = false;
    emit w->menus()->menu("mnuFile")->aboutToShow();
    QVERIFY(!action(*w, "mnuFileReadNews")->isEnabled());
    QVERIFY(!action(*w, "mnuFileUpdateDatabases")->isEnabled());
    QVERIFY(action(*w, "mnuFilesortROMs")->isEnabled());
    m_online = true;
    emit w->menus()->menu("mnuFile")->aboutToShow();
    QVERIFY(action(*w, "mnuFileReadNews")->isEnabled());
    emit w->menus()->menu("mnuEdit")->aboutToShow();
    QVERIFY(action(*w, "mnuEditSystemSettings")->isEnabled());
    QVERIFY(!action(*w, "mnuEditUndo")->isEnabled()); // no run to undo yet
    QVERIFY(w->toolbar()->isEnabled());

    // The menus in their order, with their separators.
    QStringList file;
    for (QAction* a : w->menus()->menu("mnuFile")->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(file, QStringList({"&Rename ROMs...", "&Sort ROMs", "&Unsort ROMs", "-", "Read &News",
                                "Update All &Databases", "-", "E&xit"}));
    QStringList buttons;
    for (QAction* a : w->toolbar()->actions())
        buttons << a->text();
    QCOMPARE(buttons, QStringList({"ZDB Setup", "Set Folders", "ROM Lists ", "Rename    "}));

    // The view styles are exclusive.
    action(*w, "mnuViewFileStyle3")->trigger();
    QCOMPARE(w->file_list()->style(), mainwindow::FileList::Style::Details);
    QVERIFY(!action(*w, "mnuViewFileStyle2")->isChecked());
    w->close();
}

void MainWindowTest::the_file_list_follows_the_system_and_the_folder() {
    database("NES", "Nintendo", "*.nes");
    const fs::path roms = folder("roms", {"a.NES", "b.txt", "c.zip"});
    auto w = start();
    // A folder dropped onto the window is shown.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(roms.string()))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &drop);
    QTRY_COMPARE(w->current_folder(), roms.string() + "/");

    auto* panel2 = w->findChild<QLabel*>("Panel2");
    QTRY_COMPARE(panel2->text(), QStringLiteral("2 Files"));
    QCOMPARE(w->findChild<QLabel*>("Panel3")->text(), QStringLiteral("*.nes;*.zip"));
    QCOMPARE(w->file_filter(), std::string("*.nes;*.zip"));
    fs::remove(roms / "c.zip");
    w->refresh_views();
    QTRY_COMPARE(panel2->text(), QStringLiteral("1 File"));
    w->close();
}

void MainWindowTest::sorting_asks_first_moves_and_undo_puts_back() {
    database("NES", "Nintendo", "*.nes");
    const fs::path roms = folder("roms", {"Alpha (U).nes", "Beta (E).nes"});
    m_dir->write("sort.ini", "[all]\n(U):USA\n");
    QVERIFY(core::write_setting("general", "StartupFolder", roms.string()));
    auto w = start();
    QTRY_COMPARE(w->file_list()->count(), 2);

    m_answers = {Answer::No};
    action(*w, "mnuFilesortROMs")->trigger();
    QTRY_VERIFY(!w->busy());
    QCOMPARE(m_messages.back().title, std::string("Confirmation"));
    QVERIFY(m_messages.back().text.starts_with("You are about to sort all files in \"" +
                                               roms.string() + "/\""));
    QVERIFY(fs::exists(roms / "Alpha (U).nes"));

    action(*w, "mnuFilesortROMs")->trigger();
    QTRY_VERIFY(fs::exists(roms / "USA" / "Alpha (U).nes"));
    QTRY_VERIFY(!w->busy());
    QTRY_COMPARE(w->file_list()->count(), 1);
    QVERIFY(w->status_bar()->currentMessage().startsWith(QStringLiteral("Sorted 1 file")));

    emit w->menus()->menu("mnuEdit")->aboutToShow();
    QVERIFY(action(*w, "mnuEditUndo")->isEnabled());
    const std::size_t before = m_messages.size();
    action(*w, "mnuEditUndo")->trigger();
    QTRY_COMPARE(m_messages.size(), before + 1);
    QCOMPARE(m_messages.back().title, std::string("Undo Last Run"));
    QVERIFY(m_messages.back().text.find("Restored 1 file.") != std::string::npos);
    QVERIFY(fs::exists(roms / "Alpha (U).nes"));
    QTRY_COMPARE(w->file_list()->count(), 2);
    w->close();
}

void MainWindowTest::the_window_runs_on_during_a_long_sort() {
    database("NES", "Nintendo", "*.nes");
    const fs::path roms = folder("many", {});
    for (int i = 0; i < 20000; ++i)
        testsupport::write_file(roms / ("Game " + std::to_string(i) + " (U).nes"), "x");
    m_dir->write("sort.ini", "[all]\n(U):USA\n");
    QVERIFY(core::write_setting("general", "StartupFolder", roms.string()));
    auto w = start();
    QTRY_COMPARE_WITH_TIMEOUT(w->file_list()->count(), 20000, 20000);
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    action(*w, "mnuFilesortROMs")->trigger();
    QVERIFY(w->busy());
    QTRY_VERIFY_WITH_TIMEOUT(!w->busy(), 120000);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QCOMPARE(w->last_outcome().end, core::End::Completed);
    QVERIFY(fs::exists(roms / "USA" / "Game 19999 (U).nes"));

    // Unsorting them back is stopped from the status bar: what moved stays moved, the rest
    // stays in place, and nothing is lost.
    auto* stop = w->findChild<QToolButton*>("cmdStop");
    action(*w, "mnuFileUnsortROMs")->trigger();
    QTRY_VERIFY(!stop->isHidden());
    QTRY_VERIFY(fs::exists(roms / "Game 0 (U).nes") || !w->busy());
    stop->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w->busy(), 120000);
    QVERIFY(stop->isHidden());
    QCOMPARE(w->last_outcome().end, core::End::Stopped);
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(roms))
        files += entry.is_regular_file() ? 1 : 0;
    QCOMPARE(files, 20000u);
    QVERIFY(!fs::is_empty(roms / "USA"));
    w->close();
}

void MainWindowTest::the_automatic_news_shows_once_per_run_and_read_news_on_request() {
    testsupport::LocalServer server;
    server.on("/zelkon/zdb/news/auto.txt", testsupport::Reply{200, "News 7\r\nNew databases.\r\n"});
    server.on("/zelkon/zdb/news/standard.txt", testsupport::Reply{200, "All the news.\r\n"});
    qputenv("ZELKON_UPDATE_ROOT", QByteArray::fromStdString(server.root()));
    auto count = [&](const std::string& path) {
        const auto paths = server.paths();
        return std::count(paths.begin(), paths.end(), path);
    };
    m_online = false;
    auto w = start();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::qWait(50);
    QCOMPARE(count("/zelkon/zdb/news/auto.txt"), 0); // no connection: nothing asked

    m_online = true;
    for (int i = 0; i < 3; ++i) {
        QEvent activation(QEvent::ActivationChange);
        QCoreApplication::sendEvent(w.get(), &activation);
    }
    QTRY_COMPARE(m_viewer.shown(), std::vector<std::string>{"newsauto.txt"});
    QTRY_COMPARE(stored("LastNews"), std::string("News 7")); // written by the worker
    QCOMPARE(count("/zelkon/zdb/news/auto.txt"), 1);

    emit w->menus()->menu("mnuFile")->aboutToShow(); // online now: Read News is on
    QTRY_VERIFY(!w->news_running()); // a click while the news is fetched is ignored
    action(*w, "mnuFileReadNews")->trigger();
    QTRY_COMPARE(m_viewer.shown().size(), 2u);
    QCOMPARE(m_viewer.shown().back(), std::string("news.txt"));
    server.stop();
    QTRY_VERIFY(!w->news_running());
    action(*w, "mnuFileReadNews")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!m_messages.empty(), 60000); // a dead server may take a while
    QCOMPARE(m_messages.back().text, std::string("Unable to get the news."));
    qunsetenv("ZELKON_UPDATE_ROOT");
    w->close();
}

QTEST_MAIN(MainWindowTest)
#include "test_frm_zelkon.moc"
