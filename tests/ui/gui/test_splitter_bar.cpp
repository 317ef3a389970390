#include "splitter_bar.h"

#include <QFrame>
#include <QKeyEvent>
#include <QtTest>

#include <memory>

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
    void init();
    void refuses_controls_of_another_parent();
    void live_drag_stops_at_the_margins_and_escape_cancels();
    void outline_drag_then_the_client_grows();

private:
    void press_and_move(int dx);

    std::unique_ptr<QWidget> m_client;
    KeyPane* m_left = nullptr;
    QFrame* m_bar = nullptr;
    std::unique_ptr<ui::SplitterBar> m_split;
    int m_layouts = 0;
};

void TestSplitterBar::init() {
    m_client = std::make_unique<QWidget>();
    m_client->resize(600, 400);
    m_left = new KeyPane(m_client.get());
    auto* right = new QFrame(m_client.get());
    m_bar = new QFrame(m_client.get());
    m_split = std::make_unique<ui::SplitterBar>();
    m_layouts = 0;
    QVERIFY(m_split->set_controls(m_client.get(), m_left, right, m_bar, [this] { ++m_layouts; }));
    m_client->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_client.get()));
    m_split->set_track_split(true);
    m_split->set_left(200);
    QCOMPARE(m_bar->geometry(), QRect(200, 0, m_split->width(), 400));
    QCOMPARE(m_bar->cursor().shape(), Qt::SizeHorCursor);
}

// Presses the bar one pixel in from its left edge and moves by `dx`.
void TestSplitterBar::press_and_move(int dx) {
    QTest::mousePress(m_bar, Qt::LeftButton, {}, QPoint(1, 5));
    QTest::mouseMove(m_bar, QPoint(1 + dx, 5));
}

void TestSplitterBar::refuses_controls_of_another_parent() {
    QWidget elsewhere;
    QFrame stranger(&elsewhere);
    stranger.setObjectName(QStringLiteral("Frame2"));
    ui::SplitterBar other;
    QString error;
    QVERIFY(!other.set_controls(m_client.get(), m_left, &stranger, m_bar, {}, &error));
    QCOMPARE(error, QStringLiteral("Frame2 must be a window (have a window handle)."));
    QVERIFY(!other.set_controls(m_client.get(), m_left, nullptr, m_bar, {}, &error));
    QCOMPARE(error, QStringLiteral("The right pane must be a window (have a window handle)."));
}

void TestSplitterBar::live_drag_stops_at_the_margins_and_escape_cancels() {
    const int width = m_split->width();
    const int layouts = m_layouts;
    press_and_move(-1000);
    QVERIFY(m_split->splitting());
    const int margin = m_bar->x();
    QVERIFY(margin > 0 && margin < 100);
    QCOMPARE(m_left->width(), margin);
    QTest::mouseMove(m_bar, QPoint(2000, 5));
    QCOMPARE(m_bar->x(), 600 - width - margin);
    QVERIFY(m_layouts > layouts);

    QTest::keyClick(m_left, Qt::Key_Escape);
    QVERIFY(!m_split->splitting());
    QCOMPARE(m_left->keys, 0); // swallowed
    QCOMPARE(m_bar->x(), 200);
    QCOMPARE(m_left->width(), 200);
    QTest::mouseRelease(m_bar, Qt::LeftButton, {}, QPoint(2000, 5));
    QCOMPARE(m_bar->x(), 200);
    QTest::keyClick(m_left, Qt::Key_Escape);
    QCOMPARE(m_left->keys, 1); // no drag: the key is the pane's
}

void TestSplitterBar::outline_drag_then_the_client_grows() {
    m_split->set_track_split(false);
    press_and_move(100);
    auto* band = m_client->findChild<QWidget*>(QStringLiteral("splitterOutline"));
    QVERIFY(band && band->isVisible());
    QCOMPARE(band->geometry(), QRect(301, 0, m_split->width(), 400));
    QCOMPARE(m_bar->x(), 200);
    QTest::mouseRelease(m_bar, Qt::LeftButton, {}, QPoint(101, 5));
    QVERIFY(!band->isVisible());
    QCOMPARE(m_bar->x(), 301);

    const int layouts = m_layouts;
    m_client->resize(1200, 400);
    QTRY_COMPARE(m_bar->x(), 602);
    QVERIFY(m_layouts > layouts);
}

QTEST_MAIN(TestSplitterBar)
#include "test_splitter_bar.moc"
