#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <cstdlib>

#include "frm_setup.h"
#include "local_server.h"
#include "settings_test_support.h"

using namespace settings_test;
using core::Message;
using settings::frmSetup;

// The Update button runs the database check against a server on this machine.
class SetupUpdateTests : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_home = std::make_unique<Home>();
        m_server = std::make_unique<testsupport::LocalServer>();
        m_server->serve_folder(m_site.path());
        ::setenv("ZELKON_UPDATE_ROOT", m_server->root().c_str(), 1);
    }
    void cleanup() {
        ::unsetenv("ZELKON_UPDATE_ROOT");
        m_server.reset();
        m_home.reset();
    }

    // A newer version replaces the database and the tab shows it; closing waits for the
    // check; the same version needs no update.
    void update_replaces_an_older_database_and_shows_it() {
        m_home->write_database(m_home->database("SGENESIS"), "1.2");
        publish("1.3");
        m_server->on("/zelkon/zdb/sgenesis.txt", [this](const testsupport::Seen&) {
            testsupport::Reply reply;
            reply.body = "1.3 " + m_server->root() + "zdb/";
            reply.hold_ms = 300;
            return reply;
        });
        frmSetup w(m_home->context);
        w.show();
        click(w.cmdUpdate);
        QVERIFY(w.updating());
        QVERIFY(!w.cmdOK->isEnabled() && !w.TabStrip->isEnabled());
        w.reject();
        QVERIFY(w.isVisible());
        QTRY_VERIFY(!w.updating());
        expect({"The database has been upgraded from version 1.2 to 1.3", "Updated",
                Message::Icon::Information});
        QCOMPARE(w.lblDbVersion->text(), QString("1.3"));
        QCOMPARE(w.txtDbNotes->toPlainText(), QString("Notes of 1.3"));
        QVERIFY(w.cmdOK->isEnabled() && !w.cmdApply->isEnabled());

        click(w.cmdUpdate);
        QTRY_VERIFY(!w.updating());
        expect({"The database did not need to be updated", "No Update Necessary",
                Message::Icon::Information});
    }

    // A dead server is one message and changes nothing; without a connection nothing is
    // asked of the server.
    void a_dead_server_or_no_connection_is_told() {
        m_home->write_database(m_home->database("SGENESIS"), "1.2");
        m_home->context.is_online = [] { return false; };
        frmSetup w(m_home->context);
        click(w.cmdUpdate);
        QVERIFY(!w.updating());
        expect({"You need to connect to the Internet first!", "Cannot Connect",
                Message::Icon::Exclamation});
        QVERIFY(m_server->paths().empty());

        m_home->context.is_online = [] { return true; };
        m_server->stop();
        click(w.cmdUpdate);
        QTRY_VERIFY(!w.updating());
        QCOMPARE(m_home->messages.size(), std::size_t(1));
        QCOMPARE(m_home->messages[0].title, std::string("Arg"));
        QVERIFY(m_home->messages[0].text.rfind("Could not connect to the server.\r\r", 0) == 0);
        QCOMPARE(w.lblDbVersion->text(), QString("1.2"));
        QVERIFY(w.cmdUpdate->isEnabled());
    }

private:
    void publish(const std::string& version) {
        m_home->write_database(m_site.path() / "zelkon/zdb/SGENESIS.zdb", version);
    }
    void expect(const Message& want) {
        QCOMPARE(m_home->messages.size(), std::size_t(1));
        QCOMPARE(m_home->messages[0].text, want.text);
        QCOMPARE(m_home->messages[0].title, want.title);
        QVERIFY(m_home->messages[0].icon == want.icon);
        m_home->messages.clear();
    }

    std::unique_ptr<Home> m_home;
    testsupport::TempDir m_site;
    std::unique_ptr<testsupport::LocalServer> m_server;
};

QTEST_MAIN(SetupUpdateTests)
#include "test_setup_update.moc"
