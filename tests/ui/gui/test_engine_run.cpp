#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>

#include "engine_run.h"
#include "progress_window.h"

using core::Answer;
using core::Message;

class EngineRunTest : public QObject {
    Q_OBJECT
private slots:
    void questions_are_shown_on_the_ui_thread_and_answered_to_the_worker();
    void a_closing_window_answers_a_waiting_question_cancel();
    void progress_is_coalesced_and_no_log_text_is_lost();
    void message_boxes_show_the_engines_text_title_icon_and_buttons();
    void the_bar_fills_from_the_left();
};

void EngineRunTest::questions_are_shown_on_the_ui_thread_and_answered_to_the_worker() {
    QWidget window;
    ui::EngineRun run(&window);
    bool on_ui_thread = false;
    run.prompter().set_answerer([&](const Message& m) {
        on_ui_thread = QThread::currentThread() == qApp->thread();
        return m.title == "Confirmation" ? Answer::No : Answer::Ok;
    });
    Answer answer = Answer::Ok;
    QSignalSpy finished(&run, &ui::EngineRun::finished);
    QVERIFY(run.start([&](core::Progress&, core::Prompter& prompter) {
        answer = prompter.ask(
            {"Go on?", "Confirmation", Message::Icon::Question, Message::Buttons::YesNo});
    }));
    QVERIFY(!run.start([](core::Progress&, core::Prompter&) {})); // one run at a time
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(on_ui_thread);
    QCOMPARE(answer, Answer::No);
    QVERIFY(!run.running());
}

void EngineRunTest::a_closing_window_answers_a_waiting_question_cancel() {
    auto* window = new QWidget;
    auto* run = new ui::EngineRun(window);
    std::atomic<bool> asked{false};
    Answer answer = Answer::Ok;
    // The question is never shown: the window goes first.
    run->prompter().set_answerer([](const Message&) { return Answer::Yes; });
    run->start([&](core::Progress&, core::Prompter& prompter) {
        asked = true;
        answer = prompter.ask({"Replace?", "t", Message::Icon::Question, Message::Buttons::YesNo});
    });
    // No event loop meanwhile: the question stays queued, as behind a busy window.
    while (!asked)
        QThread::msleep(1);
    QThread::msleep(20);
    delete window; // deletes the run, which must not wait for an answer forever
    QCOMPARE(answer, Answer::Cancel);
    QCoreApplication::processEvents(); // the stale question does nothing
}

void EngineRunTest::progress_is_coalesced_and_no_log_text_is_lost() {
    QWidget window;
    ui::EngineRun run(&window);
    int updates = 0;
    QString log;
    connect(&run.progress(), &ui::QtProgress::updated, [&] {
        ++updates;
        log += run.progress().take_log();
    });
    QSignalSpy finished(&run, &ui::EngineRun::finished);
    run.start([](core::Progress& progress, core::Prompter&) {
        for (int i = 0; i < 100000; ++i)
            progress.log("x");
        progress.status("done");
        progress.step(5, 10);
    });
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(log.size(), 100000);
    QVERIFY(updates < 100);
    QCOMPARE(run.progress().status_text(), QStringLiteral("done"));
    QCOMPARE(run.progress().done(), 5u);
}

void EngineRunTest::message_boxes_show_the_engines_text_title_icon_and_buttons() {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList captions;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        for (auto* b : box->buttons())
            captions << b->text();
        for (auto* b : box->buttons())
            if (b->text() == QStringLiteral("Skip &All"))
                b->click();
    });
    const Answer answer =
        ui::show_message(nullptr, {"A exists.\rReplace it?", "Conflict", Message::Icon::Exclamation,
                                   Message::Buttons::ReplaceSkipCancel});
    QCOMPARE(answer, Answer::SkipAll);
    QCOMPARE(text, QStringLiteral("A exists.\nReplace it?"));
    QCOMPARE(title, QStringLiteral("Conflict"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(captions.size(), 4);
}

void EngineRunTest::the_bar_fills_from_the_left() {
    ui::ProgressPicture bar;
    bar.resize(200, 10);
    QCOMPARE(bar.filled_width(), 0);
    bar.set_progress(1, 4);
    QCOMPARE(bar.filled_width(), 50);
    bar.set_progress(9, 4); // never past the edge
    QCOMPARE(bar.filled_width(), 200);
    const QImage image = bar.grab().toImage();
    QCOMPARE(image.pixelColor(1, 5), QColor(0, 0, 192));
}

QTEST_MAIN(EngineRunTest)
#include "test_engine_run.moc"
