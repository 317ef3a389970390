#include "engine_run.h"

#include <QThread>
#include <QWidget>
#include <exception>

namespace ui {

EngineRun::EngineRun(QWidget* window)
    : QObject(window), m_progress(new QtProgress(this)), m_prompter(window) {}

EngineRun::~EngineRun() {
    if (m_thread == nullptr)
        return;
    stop();
    m_prompter.close();
    m_thread->wait();
    delete m_thread;
}

bool EngineRun::start(Work work) {
    if (m_thread != nullptr)
        return false;
    m_progress->reset();
    m_failure.clear();
    m_thread = QThread::create([this, work = std::move(work)] {
        try {
            work(*m_progress, m_prompter);
        } catch (const std::exception& e) {
            m_failure = QString::fromUtf8(e.what());
        }
    });
    connect(m_thread, &QThread::finished, this, &EngineRun::on_thread_finished);
    m_progress->watch(true);
    m_thread->start();
    return true;
}

void EngineRun::on_thread_finished() {
    m_thread->deleteLater();
    m_thread = nullptr;
    m_progress->watch(false);
    m_progress->flush();
    emit finished();
}

} // namespace ui
