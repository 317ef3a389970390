// The extractor plugin loaded the way Dolphin's helpers load it, through KFileMetaData's own
// collection, with a stand-in zelshell on the PATH.
#include <KFileMetaData/Extractor>
#include <KFileMetaData/ExtractorCollection>
#include <KFileMetaData/SimpleExtractionResult>

#include <QTemporaryDir>
#include <QtTest>

using namespace KFileMetaData;

namespace {

const QString kZdbType = QStringLiteral("application/x-zelkon-zdb");

// Notes its arguments (a run a line, written at once: the two runs go side by side), then does
// what the file named after its command says.
const QByteArray kFakeZelshell = R"sh(#!/bin/sh
here=$(dirname "$0")
line=$(printf '[%s]' "$@") && echo "$line" >> "$here/calls"
. "$here/$1"
)sh";

// What the stand-in does for one command: print the text, end with the status.
QByteArray prints(const QByteArray& text, int status = 0) {
    return "printf %s '" + text + "'; exit " + QByteArray::number(status);
}

} // namespace

class ZdbExtractorTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database = m_dir.filePath(QStringLiteral("My \"DB\" 's.zdb"));
    std::unique_ptr<ExtractorCollection> m_collection;

    QByteArray write(const QString& name, const QByteArray& bytes = {}) {
        QFile file(m_dir.filePath(name));
        const QByteArray before = file.open(QIODevice::ReadWrite) ? file.readAll() : QByteArray();
        file.resize(0);
        file.write(bytes);
        return before;
    }

    PropertyMultiMap extract(ExtractionResult::Flags flags = ExtractionResult::ExtractMetaData) {
        SimpleExtractionResult result(m_database, kZdbType, flags);
        m_collection->fetchExtractors(kZdbType).first()->extract(&result);
        return result.properties(MultiMap);
    }

private Q_SLOTS:
    void initTestCase() {
        write("zelshell", kFakeZelshell);
        QFile::setPermissions(m_dir.filePath("zelshell"), QFile::ExeOwner | QFile::ReadOwner);
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + qgetenv("PATH"));
        write(m_database, QByteArray(64, '\1'));
        // Only the plugin just built, never one installed on this machine.
        QCoreApplication::setLibraryPaths({QStringLiteral(ZELKON_PLUGIN_ROOT)});
        m_collection = std::make_unique<ExtractorCollection>();
        QCOMPARE(m_collection->fetchExtractors(kZdbType).size(), 1);
    }

    void mapsTheTipAndTheRomCount() {
        write("tip", prints(R"({"system":"Sega Genesis","credit":"","tip":)"
                            R"("System: Sega Genesis\r\nCredit To: \r\n)"
                            R"(Version: 2.1\r\n\r\nGood set"})"));
        write("properties", prints(R"({"count":1234,"count_text":"1,234"})"));
        // An empty credit gives no Author rather than an empty one.
        const PropertyMultiMap expected{
            {Property::Title, QStringLiteral("Sega Genesis")},
            {Property::Description, QStringLiteral("Version: 2.1\n\nGood set")},
            {Property::LineCount, 1234}};
        QCOMPARE(extract(), expected);
        // The file name reaches zelshell whole, as one argument, in both runs.
        const QByteArray calls = write("calls");
        const QByteArray rest = "[--machine][" + QFile::encodeName(m_database) + "]\n";
        QVERIFY(calls.contains("[tip]" + rest) && calls.contains("[properties]" + rest));

        // Text-only passes of the indexer have nothing to ask zelshell.
        QVERIFY(extract(ExtractionResult::ExtractPlainText).isEmpty());
        QVERIFY(write("calls").isEmpty());
    }

    void aFailedRunGivesNothing() {
        write("tip", prints(R"({"system":"Sega Genesis"})", 1));
        write("properties", prints(R"({"count":5})", 1));
        QVERIFY(extract().isEmpty());
    }
};

QTEST_GUILESS_MAIN(ZdbExtractorTest)
#include "zdb_extractor_test.moc"
