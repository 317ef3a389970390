#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "choose_folder.h"
#include "frm_general_settings.h"
#include "frm_setup.h"
#include "settings_test_support.h"

using namespace settings_test;
using settings::frmGeneralSettings;
using settings::frmSetup;

class SettingsWindowTests : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_home = std::make_unique<Home>();
        ui::chosen_folder.clear();
    }
    void cleanup() { m_home.reset(); }

    // A system without a section: the defaults; Cancel writes nothing, OK writes every key.
    void setup_shows_the_defaults_cancel_writes_nothing_and_ok_everything() {
        m_home->write_database(m_home->database("SGENESIS"), "1.2");
        {
            frmSetup w(m_home->context);
            QCOMPARE(w.windowTitle(), QString("Setup Genesis"));
            QCOMPARE(w.TabStrip->currentWidget(), w.Frame0);
            QCOMPARE(w.lblDbVersion->text(), QString("1.2"));
            QCOMPARE(w.lblDbCreditTo->text(), QString("The Collectors"));
            QCOMPARE(w.txtDbNotes->toPlainText(), QString("Notes of 1.2"));
            QVERIFY(!w.cmdMoreInfo->isEnabled());
            for (QLineEdit* box :
                 {w.txtDefaultFolder, w.txtRenameFolder, w.txtUnrecognizedFolder, w.txtDupeFolder})
                QVERIFY(box->text().isEmpty() && box->isReadOnly());
            QVERIFY(!w.chkDefaultFolder->isChecked() && !w.chkMoveRenamed->isChecked());
            QVERIFY(!w.chkMoveUnrecognized->isChecked() && w.chkCopyInstead->isChecked());
            QVERIFY(w.radIgnoreDupes->isChecked());
            QVERIFY(!w.radMoveDupes->isChecked() && !w.radDeleteDupes->isChecked());
            QVERIFY(!w.cmdApply->isEnabled());
            click(w.cmdCancel);
            QCOMPARE(w.result(), int(QDialog::Rejected));
        }
        QVERIFY(!fs::exists(m_home->ini()));
        frmSetup w(m_home->context);
        click(w.cmdOK);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(m_home->stored("SGENESIS", "IgnoreDupes"), std::string("True"));
        QCOMPARE(m_home->stored("SGENESIS", "MoveDupes"), std::string("False"));
        QCOMPARE(m_home->stored("SGENESIS", "CopyInstead"), std::string("1"));
        QCOMPARE(m_home->stored("SGENESIS", "DupeFolder"), std::string(""));
    }

    // The stored group is read in order; a click selects one option and clears the others;
    // Apply writes and a later Cancel leaves what was applied.
    void setup_keeps_the_duplicate_group_and_apply_writes_before_cancel() {
        QVERIFY(core::write_setting("SGENESIS", "DeleteDupes", "True"));
        frmSetup w(m_home->context);
        QVERIFY(w.radDeleteDupes->isChecked());
        QVERIFY(!w.radIgnoreDupes->isChecked() && !w.radMoveDupes->isChecked());
        QVERIFY(!w.cmdApply->isEnabled());

        click(w.radMoveDupes);
        click(w.radMoveDupes); // a second click keeps the option selected
        QVERIFY(w.radMoveDupes->isChecked() && !w.radDeleteDupes->isChecked());
        QVERIFY(w.cmdApply->isEnabled());
        click(w.cmdApply);
        QVERIFY(!w.cmdApply->isEnabled());
        QCOMPARE(m_home->stored("SGENESIS", "MoveDupes"), std::string("True"));
        QCOMPARE(m_home->stored("SGENESIS", "DeleteDupes"), std::string("False"));

        click(w.chkMoveRenamed);
        QVERIFY(w.cmdApply->isEnabled());
        click(w.cmdCancel);
        QCOMPARE(m_home->stored("SGENESIS", "MoveRenamedFiles"), std::string("0"));
    }

    // settings_tab 1 opens on Folders; a folder button fills its box through the chooser,
    // which starts where the last choice left it; a cancelled chooser changes nothing.
    void setup_folder_buttons_use_the_chooser() {
        const fs::path games = m_home->dir.path() / "Games";
        fs::create_directories(games);
        m_home->tab = 1;
        frmSetup w(m_home->context);
        QCOMPARE(w.TabStrip->currentWidget(), w.Frame1);
        ui::chosen_folder = q(games);
        when_shown<ui::frmChooseFolder>([](ui::frmChooseFolder* c) { click(c->cmdOK); });
        click(w.cmdSelectDupeFolder);
        QCOMPARE(w.txtDupeFolder->text(), q(games) + "/");
        QVERIFY(w.cmdApply->isEnabled());
        click(w.cmdApply);

        when_shown<ui::frmChooseFolder>([](ui::frmChooseFolder* c) { click(c->cmdCancel); });
        click(w.cmdDefaultFolder);
        QVERIFY(w.txtDefaultFolder->text().isEmpty());
        QVERIFY(!w.cmdApply->isEnabled());
        click(w.cmdOK);
        QCOMPARE(m_home->stored("SGENESIS", "DupeFolder"), (games / "").string());
    }

    // More Info hands the viewer a file with the text, removed later; a viewer that cannot
    // start is told and leaves no file.
    void setup_more_info_shows_the_text_in_the_viewer() {
        m_home->write_database(m_home->database("SGENESIS"), "2", "Read me\r\nfirst");
        std::vector<std::string> shown;
        fs::path file;
        bool starts = true;
        m_home->context.show_text = [&](const fs::path& path) {
            file = path;
            shown.push_back(testsupport::read_file(path));
            return starts;
        };
        frmSetup w(m_home->context);
        click(w.cmdMoreInfo);
        QCOMPARE(shown, std::vector<std::string>{"Read me\r\nfirst\n"});
        QVERIFY(fs::exists(file));
        starts = false;
        click(w.cmdMoreInfo);
        QVERIFY(!fs::exists(file));
        QCOMPARE(m_home->messages.size(), std::size_t(1));
        QCOMPARE(m_home->messages[0].title, std::string("More Info"));
    }

    // No section "general": the defaults; the port comes back as "80"; the warning follows
    // its box; Apply writes and Cancel keeps what was applied.
    void general_settings_defaults_port_warning_and_apply() {
        m_home->tab = 3;
        {
            frmGeneralSettings w(m_home->context);
            QCOMPARE(w.windowTitle(), QString("General Settings"));
            QCOMPARE(w.TabStrip->currentWidget(), w.Frame2);
            QCOMPARE(w.TabStrip->tabText(1), QString("Renaming"));
            QVERIFY(w.txtProxyServer->text().isEmpty());
            QCOMPARE(w.txtProxyPort->text(), QString("80"));
            QCOMPARE(w.txtStartupFolder->text(), q(m_home->dir.path()));
            QCOMPARE(w.txtROMListFolder->text(), q(m_home->dir.path()));
            QVERIFY(w.chkCheckForNews->isChecked() && !w.chkRecursive->isChecked());
            QVERIFY(!w.chkRenameROMsInZip->isChecked() && !w.chkUseUnderScores->isChecked());
            QVERIFY(w.lblWarning->isHidden() && !w.cmdApply->isEnabled());

            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.txtProxyPort->setFocus();
            w.txtProxyPort->selectAll();
            QTest::keyClick(w.txtProxyPort, Qt::Key_Delete);
            QVERIFY(w.cmdApply->isEnabled());
            w.txtProxyServer->setFocus();
            QTRY_COMPARE(w.txtProxyPort->text(), QString("80"));

            w.TabStrip->setCurrentIndex(1);
            click(w.chkRenameROMsInZip);
            QVERIFY(!w.lblWarning->isHidden());
            click(w.cmdApply);
            QVERIFY(!w.cmdApply->isEnabled());
            click(w.chkRenameROMsInZip);
            QVERIFY(w.lblWarning->isHidden());
            click(w.cmdCancel);
        }
        QCOMPARE(m_home->stored("general", "RenameROMsInZip"), std::string("1"));
        QCOMPARE(m_home->stored("general", "ProxyPort"), std::string("80"));
        QCOMPARE(m_home->stored("general", "CheckForNews"), std::string("1"));

        // A stored tick shows the warning at once; a cancelled chooser changes nothing.
        m_home->tab = 0;
        frmGeneralSettings w(m_home->context);
        QCOMPARE(w.TabStrip->currentWidget(), w.Frame0);
        QVERIFY(w.chkRenameROMsInZip->isChecked() && !w.lblWarning->isHidden());
        when_shown<ui::frmChooseFolder>([](ui::frmChooseFolder* c) { click(c->cmdCancel); });
        click(w.cmdROMListFolder);
        QCOMPARE(w.txtROMListFolder->text(), q(m_home->dir.path()));
        QVERIFY(!w.cmdApply->isEnabled());
    }

private:
    std::unique_ptr<Home> m_home;
};

QTEST_MAIN(SettingsWindowTests)
#include "test_settings_windows.moc"
