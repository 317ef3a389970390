#pragma once

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QProcess>
#include <QString>

// One run of the host program, `zelshell <command> --machine <file>`, whose one JSON object on
// standard output is the answer. The run starts at construction, so two queries run side by
// side. Not thread-safe: make, ask and destroy a query on one thread.
class ZelshellQuery final {
public:
    ZelshellQuery(const QString& command, const QString& file);
    ~ZelshellQuery();
    ZelshellQuery(const ZelshellQuery&) = delete;
    ZelshellQuery& operator=(const ZelshellQuery&) = delete;

    // Waits for the run until the deadline. Empty when zelshell is not found, fails, runs out
    // of time (it is then stopped) or prints no JSON object.
    QJsonObject result(QDeadlineTimer deadline);

private:
    QProcess m_process;
};

// The zelshell to run: the one on the PATH, else the one in the install's program folder.
// Empty when there is neither.
QString find_zelshell();
