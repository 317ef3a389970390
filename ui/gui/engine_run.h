#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "qt_progress.h"
#include "qt_prompter.h"

class QThread;
class QWidget;

namespace ui {

/// Runs one engine call at a time on a worker thread for a window.
///
///     m_run = new EngineRun(this);
///     connect(m_run, &EngineRun::finished, this, [this] { show(m_report); });
///     m_run->start([this](core::Progress& p, core::Prompter& q) { m_report = sort(p, q); });
///
/// The work gets the run's progress (read by the window through progress()) and a prompter
/// that shows its questions over `window`. finished() comes on the UI thread after the work
/// has returned, so what the work wrote is the window's to read then. Stop asks the engine to
/// end at its next check. Destroying the run (with its window) stops the work, answers any
/// question Cancel and waits for the worker: nothing outlives the window. UI thread only.
class EngineRun final : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(core::Progress&, core::Prompter&)>;

    explicit EngineRun(QWidget* window);
    ~EngineRun() override;

    /// False, and nothing starts, while a run is under way.
    bool start(Work work);
    bool running() const { return m_thread != nullptr; }
    void stop() { m_progress->request_stop(); }

    QtProgress& progress() { return *m_progress; }
    QtPrompter& prompter() { return m_prompter; }
    /// What ended the last run early when the engine threw (it should not); "" otherwise.
    const QString& failure() const { return m_failure; }

signals:
    void finished();

private:
    void on_thread_finished();

    QtProgress* m_progress;
    QtPrompter m_prompter;
    QThread* m_thread = nullptr;
    QString m_failure;
};

} // namespace ui
