#pragma once

#include <QApplication>
#include <QString>
#include <QTimer>
#include <filesystem>

namespace testsupport {

/// Runs `act` on the modal window of type W once it shows; the caller then blocks in its
/// exec(). UI thread only.
template <class W, class Act> void when_shown(Act act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(window);
        }
    });
    timer->start();
}

/// A path as the windows take it.
inline QString q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace testsupport
