#include "splitter_bar.h"

#include <QFrame>
#include <QKeyEvent>
#include <QtTest>

namespace {

// A pane that counts the keys that reach it.
class KeyPane final : public QFrame {
public:
    using QFrame::QFrame;
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        ++keys;
        QFrame::keyPressEvent(event);
    }
};

} // namespace

class TestSplitterBar : public QObject {
    Q_OBJECT

private slots:
    void refuses_controls_of_another_parent();
    void drags_live_and_outlined();
};

void TestSplitterBar::refuses_controls_of_another_parent() {
    QWidget client, elsewhere;
    QFrame left(&client), bar(&client), stranger(&elsewhere);
    stranger.setObjectName(QStringLiteral("Frame2"));
    ui::SplitterBar split;
    QString error;
    QVERIFY(!split.set_controls(&client, &left, &stranger, &bar, {}, &error));
    QCOMPARE(error, QStringLiteral("Frame2 must be a window (have a window handle)."));
    QVERIFY(!split.set_controls(&client, &left, nullptr, &bar, {}, &error));
    QCOMPARE(error, QStringLiteral("The right pane must be a window (have a window handle)."));
}

void TestSplitterBar::drags_live_and_outlined() {
    QWidget client;
    client.resize(600, 400);
    auto* left = new KeyPane(&client);
    auto* bar = new QFrame(&client);
    ui::SplitterBar split;
    int layouts = 0;
    QVERIFY(split.set_controls(&client, left, new QFrame(&client), bar, [&] { ++layouts; }));
    client.show();
    QVERIFY(QTest::qWaitForWindowExposed(&client));
    split.set_track_split(true);
    split.set_left(200);
    QCOMPARE(bar->geometry(), QRect(200, 0, split.width(), 400));
    QCOMPARE(bar->cursor().shape(), Qt::SizeHorCursor);

    const int before = layouts;
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(1, 5));
    QTest::mouseMove(bar, QPoint(-1000, 5));
    QVERIFY(split.splitting());
    const int margin = bar->x();
    QVERIFY(margin > 0 && margin < 100);
    QCOMPARE(left->width(), margin);
    QVERIFY(layouts > before);
    QTest::keyClick(left, Qt::Key_Escape);
    QVERIFY(!split.splitting());
    QCOMPARE(left->keys, 0); // swallowed
    QCOMPARE(bar->x(), 200);
    QCOMPARE(left->width(), 200);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(1, 5));
    QTest::keyClick(left, Qt::Key_Escape);
    QCOMPARE(left->keys, 1); // no drag: the key is the pane's

    split.set_track_split(false);
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(1, 5));
    QTest::mouseMove(bar, QPoint(101, 5));
    auto* band = client.findChild<QWidget*>(QStringLiteral("splitterOutline"));
    QVERIFY(band && band->isVisible());
    QCOMPARE(band->geometry(), QRect(301, 0, split.width(), 400));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(101, 5));
    QVERIFY(!band->isVisible());
    QCOMPARE(bar->x(), 301);
    client.resize(1200, 400);
    QTRY_COMPARE(bar->x(), 602);
}

QTEST_MAIN(TestSplitterBar)
#include "test_splitter_bar.moc"
