#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include "shell_library.h"

using namespace zelshell;

class RegisteredTypeTest : public QObject {
    Q_OBJECT

private slots:
    // Registered into the user's data folder, a database of either letter case is a ROM
    // database to Qt's MIME database, with its comment and icon.
    void qt_knows_a_registered_database() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        qputenv("XDG_DATA_HOME", root.filePath("data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", root.filePath("config").toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", root.filePath("etc").toLocal8Bit());
        auto shell = ShellLibrary::load_beside_executable();
        QVERIFY2(shell.ok(), shell ? "" : shell.error().message.c_str());
        const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
        const ZelshellSite site{sizeof(ZelshellSite), nullptr, nullptr, program.constData(),
                                nullptr};
        shell->set_site(&site);
        QCOMPARE(shell->register_server(), S_OK);

        for (const QString name : {"game.zdb", "GAME.ZDB"}) {
            QFile sample(root.filePath(name));
            QVERIFY(sample.open(QIODevice::WriteOnly) && sample.write("\x03"
                                                                      "1.0") == 4);
            sample.close();
            const QMimeType type = QMimeDatabase().mimeTypeForFile(sample.fileName());
            QCOMPARE(type.name(), QString("application/x-zelkon-zdb"));
            QCOMPARE(type.comment(), QString("Zelkon ROM database"));
            QCOMPARE(type.iconName(), QString("application-x-zelkon-zdb"));
        }
        QCOMPARE(shell->unregister_server(), S_OK);
        shell->set_site(nullptr);
    }
};

QTEST_MAIN(RegisteredTypeTest)
#include "test_registered_type.moc"
