#include <QListView>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QThreadPool>
#include <QTreeView>
#include <QtTest>

#include <filesystem>

#include "file_list.h"
#include "temp_dir.h"

using mainwindow::FileList;
using testsupport::TempDir;

namespace {

QString qpath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Waits for the listing asked for last to be shown.
void wait_listed(const FileList& list) {
    QTRY_VERIFY_WITH_TIMEOUT(!list.listing(), 10000);
}

} // namespace

class FileListTest : public QObject {
    Q_OBJECT
private slots:
    void lists_matching_files_in_engine_order();
    void empty_folder_drops_a_running_listing();
    void follows_the_folder_on_disk();
};

void FileListTest::lists_matching_files_in_engine_order() {
    TempDir dir;
    for (const char* name : {"b.BIN", "c.Zip", "d.txt", "E.smd", "notes.bin.txt"})
        dir.write(name, "x");
    dir.write("A.bin", std::string(2048, 'a'));
    std::filesystem::create_directory(dir.path() / "folder.bin");

    FileList list;
    QSignalSpy changed(&list, &FileList::changed);
    list.set_folder(qpath(dir.path()) + "/");
    list.set_filter("*.bin;*.SMD;;*.zip");
    wait_listed(list);
    QCOMPARE(list.folder(), qpath(dir.path()));
    QCOMPARE(changed.count(), 1); // the first request was superseded, never shown
    QCOMPARE(list.count(), 4);
    const QStringList expected{"A.bin", "b.BIN", "c.Zip", "E.smd"};
    for (int row = 0; row < 4; ++row)
        QCOMPARE(list.item_path(row), qpath(dir.path() / expected[row].toStdString()));
    QCOMPARE(list.item_path(-1), QString());
    QCOMPARE(list.item_path(4), QString());

    // Each row's details come from its own file.
    auto* details = list.findChild<QTreeView*>();
    const QAbstractItemModel* model = details->model();
    QCOMPARE(model->index(0, 1).data().toString(), QString("2 KB"));
    QCOMPARE(model->index(1, 1).data().toString(), QString("1 KB"));
    QCOMPARE(model->index(2, 2).data().toString(), QString("ZIP Archive"));

    QSignalSpy activated(&list, &FileList::activated);
    auto* icons = list.findChild<QListView*>();
    icons->setCurrentIndex(model->index(1, 0));
    QTest::keyClick(icons, Qt::Key_Return);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.front().front().toString(), list.item_path(1));

    // The styles show the same rows and keep the selection.
    QCOMPARE(icons->viewMode(), QListView::ListMode);
    auto* stack = list.findChild<QStackedWidget*>();
    using S = FileList::Style;
    for (S style : {S::Details, S::LargeIcons, S::SmallIcons, S::List, S::Details}) {
        list.set_style(style);
        auto* shown = static_cast<QAbstractItemView*>(stack->currentWidget());
        QCOMPARE(shown == details, style == S::Details);
        QCOMPARE(shown->model(), model);
        QVERIFY(shown->selectionModel()->isSelected(model->index(1, 0)));
    }
    list.set_style(S::LargeIcons);
    QCOMPARE(icons->viewMode(), QListView::IconMode);
}

void FileListTest::empty_folder_drops_a_running_listing() {
    TempDir dir;
    dir.write("one.bin", "1");

    FileList list;
    list.set_filter("*.bin");
    QSignalSpy changed(&list, &FileList::changed);
    list.set_folder(qpath(dir.path()));
    wait_listed(list);
    list.refresh();
    list.set_folder(""); // clears the rows at once; the running listing is dropped when it ends
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.folder(), QString());
    QVERIFY(!list.listing());
    list.set_filter("*"); // a later request on no folder still lists nothing
    QCOMPARE(changed.count(), 3);
    QTRY_COMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 3);
    QCOMPARE(list.count(), 0);
}

void FileListTest::follows_the_folder_on_disk() {
    TempDir dir;
    const auto folder = dir.path() / "roms";
    dir.write("roms/old.bin", "1");

    FileList list;
    list.set_filter("*.bin");
    list.set_folder(qpath(folder));
    wait_listed(list);
    QCOMPARE(list.count(), 1);

    dir.write("roms/new.bin", "2");
    std::filesystem::remove(folder / "old.bin");
    QTRY_COMPARE_WITH_TIMEOUT(list.item_path(0), qpath(folder / "new.bin"), 10000);
    QCOMPARE(list.count(), 1);

    // A folder made again is no longer watched until the list is refreshed.
    std::filesystem::remove_all(folder);
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), 0, 10000);
    dir.write("roms/a.bin", "1");
    list.refresh();
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), 1, 10000);
    dir.write("roms/b.bin", "2");
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), 2, 10000);
}

QTEST_MAIN(FileListTest)
#include "test_file_list.moc"
