#include "app_home.h"
#include "choose_folder.h"
#include "folder_tree.h"
#include "open_save.h"
#include "temp_dir.h"
#include "when_shown.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using testsupport::q;
using testsupport::when_shown;

namespace {

void click(QWidget* window, const char* button) {
    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
}

} // namespace

class DialogTests : public QObject {
    Q_OBJECT
private slots:
    void init() { ui::chosen_folder.clear(); }

    void openSaveStartsInTheHomeAndCancelsAsAsked() {
        ui::clsOpenSave dialog;
        when_shown<QFileDialog>([](QFileDialog* shown) {
            QCOMPARE(shown->nameFilters(), QStringList{"All Files (*)"});
            QCOMPARE(shown->directory().absolutePath(), QDir::homePath());
            shown->reject();
        });
        auto result = dialog.ShowOpen();
        QVERIFY(!result.chosen && result.error == 0 && dialog.FileName.isEmpty());

        dialog.CancelError = true;
        when_shown<QFileDialog>([](QFileDialog* shown) { shown->reject(); });
        result = dialog.ShowOpen();
        QVERIFY(!result.chosen && result.error == 0);
        QCOMPARE(dialog.FileName, "?error?");

        // A replace is confirmed only when the caller asked for it.
        dialog.FileName = "keep.txt";
        dialog.Flags = ui::clsOpenSave::kOverwritePrompt;
        when_shown<QFileDialog>([](QFileDialog* shown) {
            QVERIFY(!shown->testOption(QFileDialog::DontConfirmOverwrite));
            shown->reject();
        });
        result = dialog.ShowSave();
        QVERIFY(!result);
        QCOMPARE(result.error, 32755);
        QCOMPARE(result.source, "Run-time error");
        QCOMPARE(result.description, "Cancel was selected");
        QCOMPARE(dialog.FileName, "keep.txt");
    }

    void chosenFileFillsTheProperties() {
        testsupport::TempDir dir;
        const QString text = q(dir.write("a.txt", "x"));
        dir.write("b.rcl", "x");
        ui::clsOpenSave dialog;
        dialog.setFilter("Text|*.txt|Lists (*.rcl)|*.rcl");
        dialog.FilterIndex = 2;
        dialog.InitDir = q(dir.path());
        dialog.DefaultExt = "rcl";
        dialog.Flags = ui::clsOpenSave::kFileMustExist;

        when_shown<QFileDialog>([&](QFileDialog* shown) {
            QCOMPARE(shown->selectedNameFilter(), "Lists (*.rcl)");
            QCOMPARE(shown->fileMode(), QFileDialog::ExistingFile);
            shown->selectNameFilter("Text (*.txt)");
            shown->selectFile(text);
            static_cast<QDialog*>(shown)->accept();
        });
        QVERIFY(dialog.ShowOpen());
        QCOMPARE(dialog.FileName, text);
        QCOMPARE(dialog.FileTitle, "a.txt");
        QCOMPARE(dialog.FilterIndex, 1);
        QCOMPARE(dialog.FileExt, text.size() - 3);
        QCOMPARE(dialog.Flags, ui::clsOpenSave::kFileMustExist | 0x400);

        // A typed name gets DefaultExt.
        dialog.FileName = "session";
        dialog.Flags = 0;
        when_shown<QFileDialog>([](QFileDialog* shown) {
            QVERIFY(shown->testOption(QFileDialog::DontConfirmOverwrite));
            static_cast<QDialog*>(shown)->accept();
        });
        QVERIFY(dialog.ShowSave());
        QCOMPARE(dialog.FileName, q(dir.path() / "session.rcl"));
        QCOMPARE(dialog.Flags, 0);
    }

    void chooserStartsAtTheStartOrTheHomeAndAddsTheSeparator() {
        testsupport::TempDir dir;
        std::filesystem::create_directories(dir.path() / "home");
        std::filesystem::create_directories(dir.path() / "Games");
        core::set_app_home(dir.path() / "home");

        when_shown<ui::frmChooseFolder>([](QWidget* shown) { click(shown, "cmdOK"); });
        QCOMPARE(ui::choose_folder(nullptr, q(dir.path() / "missing")), q(dir.path() / "home/"));
        when_shown<ui::frmChooseFolder>([](QWidget* shown) { click(shown, "cmdOK"); });
        QCOMPARE(ui::choose_folder(nullptr, q(dir.path() / "Games")), q(dir.path() / "Games/"));
        when_shown<ui::frmChooseFolder>([](QWidget* shown) { click(shown, "cmdOK"); });
        QCOMPARE(ui::choose_folder(nullptr, "/"), QString("/"));
        when_shown<ui::frmChooseFolder>([](QWidget* shown) { click(shown, "cmdCancel"); });
        QCOMPARE(ui::choose_folder(nullptr, q(dir.path() / "Games")), std::nullopt);
        QVERIFY(ui::chosen_folder.isEmpty());

        // No start and no application home: the user's home rather than nothing selected.
        core::set_app_home(dir.path() / "gone");
        ui::frmChooseFolder second;
        second.show();
        QCOMPARE(second.exTree1->selected_folder(), QDir::homePath());
    }

    void newFolderIsMadeInTheSelectedOneAndNamedInPlace() {
        testsupport::TempDir dir;
        const QString base = q(dir.path());
        ui::chosen_folder = base;
        ui::frmChooseFolder chooser;
        chooser.show();
        auto* tree = chooser.exTree1;
        const auto rename_to = [tree](const QString& name) {
            QTRY_VERIFY(tree->findChild<QLineEdit*>());
            auto* editor = tree->findChild<QLineEdit*>();
            editor->setText(name);
            QTest::keyClick(editor, Qt::Key_Return);
        };

        click(&chooser, "cmdNewFolder");
        QVERIFY(QFileInfo(base + "/New Folder").isDir());
        QCOMPARE(tree->selected_folder(), base + "/New Folder");
        rename_to("Games");
        QTRY_VERIFY(QFileInfo(base + "/Games").isDir() && !QFileInfo::exists(base + "/New Folder"));
        QTRY_COMPARE(tree->selected_folder(), base + "/Games");

        // A taken name is explained and the new folder keeps its name.
        QVERIFY(tree->open_folder(base));
        click(&chooser, "cmdNewFolder");
        rename_to("Games");
        QTRY_VERIFY(chooser.findChild<QMessageBox*>());
        QVERIFY(chooser.findChild<QMessageBox*>()->text().contains("Games"));
        QVERIFY(QFileInfo(base + "/New Folder").isDir());
        chooser.findChild<QMessageBox*>()->close();

        QVERIFY(tree->open_folder(base));
        click(&chooser, "cmdNewFolder");
        QCOMPARE(tree->selected_folder(), base + "/New Folder (2)");
    }

    void treeRefreshKeepsTheSelectionWhileItExists() {
        testsupport::TempDir dir;
        std::filesystem::create_directories(dir.path() / "a" / "b");
        ui::FolderTree tree;
        QVERIFY(!tree.open_folder(q(dir.path() / "missing")));
        QVERIFY(tree.open_folder(q(dir.path() / "a" / "b")));
        tree.refresh();
        QCOMPARE(tree.selected_folder(), q(dir.path() / "a" / "b"));

        QSignalSpy selected(&tree, &ui::FolderTree::folder_selected);
        std::filesystem::remove(dir.path() / "a" / "b");
        tree.refresh();
        QCOMPARE(tree.selected_folder(), QString());
        QCOMPARE(selected.last().first().toString(), QString());
    }
};

QTEST_MAIN(DialogTests)
#include "test_dialogs.moc"
