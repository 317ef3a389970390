// zelkon: the desktop program.

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "file_list.h"
#include "folder_tree.h"
#include "frm_zelkon.h"
#include "services.h"

namespace {

struct Arguments {
    QString home;
    QString screenshot;
    QString folder;
};

Arguments parse(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renames, sorts and lists collections of ROM files."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption home(
        QStringLiteral("home"), QStringLiteral("The folder that holds zelkon.ini and databases/."),
        QStringLiteral("DIR"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the main window to FILE once it is shown, then quit."),
        QStringLiteral("FILE"));
    parser.addOption(home);
    parser.addOption(screenshot);
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("A folder to show (a file: its folder)."));
    parser.process(app);
    Arguments args{parser.value(home), parser.value(screenshot), {}};
    if (!parser.positionalArguments().isEmpty()) {
        const QFileInfo path(parser.positionalArguments().front());
        args.folder = path.isDir() ? path.absoluteFilePath() : path.absolutePath();
    }
    return args;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelkon"));
    QApplication::setApplicationVersion(QStringLiteral("1.30"));
    QApplication::setDesktopFileName(QStringLiteral("zelkon"));
    const Arguments args = parse(app);

    auto services = core::Services::open({.home = args.home.toStdString()});
    if (!services) {
        QMessageBox::critical(nullptr, QStringLiteral("Zelkon"),
                              QString::fromStdString(services.error().message));
        return 1;
    }
    mainwindow::MainWindowHooks hooks;
    if (!args.screenshot.isEmpty())
        hooks.show_about = [](QWidget*) {}; // a picture is taken unattended
    mainwindow::frmZelkon window(*services, hooks);
    window.load();
    if (!args.folder.isEmpty())
        window.folder_tree()->open_folder(args.folder);
    window.show();
    if (!args.screenshot.isEmpty()) {
        // Once the file list has been read: a picture of an empty list says nothing.
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window, file = args.screenshot] {
            if (window.file_list()->listing())
                return;
            const bool saved = window.grab().save(file);
            std::fprintf(saved ? stdout : stderr, "%s %s\n",
                         saved ? "Saved a picture of the main window to" : "Could not save",
                         qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        });
        poll->start(20);
    }
    const int status = QApplication::exec();
    services->close_cache();
    return status;
}
