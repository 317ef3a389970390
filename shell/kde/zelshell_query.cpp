#include "zelshell_query.h"

#include <QJsonDocument>
#include <QStandardPaths>
#include <QStringList>

QString find_zelshell() {
    const QString name = QStringLiteral("zelshell");
    const QString on_path = QStandardPaths::findExecutable(name);
    // An empty folder would be the working folder: never run a program found there.
    const QString installed = QStringLiteral(ZELSHELL_INSTALL_BINDIR);
    if (!on_path.isEmpty() || installed.isEmpty()) {
        return on_path;
    }
    return QStandardPaths::findExecutable(name, {installed});
}

ZelshellQuery::ZelshellQuery(const QString& command, const QString& file) {
    const QString program = find_zelshell();
    if (program.isEmpty()) {
        return;
    }
    // Nothing may wait on a terminal that the file manager does not have.
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.start(program, {command, QStringLiteral("--machine"), file});
}

ZelshellQuery::~ZelshellQuery() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QJsonObject ZelshellQuery::result(QDeadlineTimer deadline) {
    // A run that never started is not running either, and has printed nothing.
    const auto wait_ms = static_cast<int>(deadline.remainingTime());
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(wait_ms)) {
        return {};
    }
    if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0) {
        return {};
    }
    return QJsonDocument::fromJson(m_process.readAllStandardOutput()).object();
}
