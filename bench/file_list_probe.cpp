// file_list_probe [--files N] [--runs R] [--no-reference]:
// the time from FileList::set_folder on a folder of N files (default 100,000) to the rows
// being in the model, and to a painted list (one grab() after changed()), offscreen, in the
// four view styles. For the ratio the same is timed for QFileSystemModel under a
// QListView (left out with --no-reference). Each figure is the median of R runs (default 5),
// on a folder the page cache already holds. Goal: the painted list within 1 s.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "file_list.h"
#include "folder_walk.h"

namespace {

const QString kFilter = QStringLiteral("*.bin;*.zip");
const QSize kWindow(1000, 700);

struct Times {
    std::vector<double> rows;
    std::vector<double> painted;
    std::vector<double> stall; ///< the event loop's longest pause until the rows were in
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double seconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Names as a collection has them: one in ten an archive, one in fifty a file the filter
// leaves out. Returns how many match.
int make_folder(const QString& folder, int files) {
    int matching = 0;
    for (int i = 0; i < files; ++i) {
        const char* ext = i % 50 == 49 ? "txt" : i % 10 == 9 ? "zip" : "bin";
        matching += std::strcmp(ext, "txt") != 0;
        char name[96];
        std::snprintf(name, sizeof name, "/Game %06d - Some Longer Title (Europe) [!].%s", i, ext);
        const std::string path = folder.toStdString() + name;
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    return matching;
}

void time_file_list(const QString& folder, mainwindow::FileList::Style style, int runs,
                    Times& times) {
    for (int run = 0; run < runs; ++run) {
        mainwindow::FileList list;
        list.resize(kWindow);
        list.set_style(style);
        list.show();
        QEventLoop loop;
        QObject::connect(&list, &mainwindow::FileList::changed, &loop, &QEventLoop::quit);
        QElapsedTimer timer, gap;
        double stall = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            stall = std::max(stall, seconds(gap));
            gap.restart();
        });
        tick.start(2);
        timer.start();
        gap.start();
        list.set_filter(kFilter);
        list.set_folder(folder);
        loop.exec();
        times.rows.push_back(seconds(timer));
        times.stall.push_back(std::max(stall, seconds(gap)));
        tick.stop();
        list.grab();
        times.painted.push_back(seconds(timer));
    }
}

void time_reference(const QString& folder, int matching, Times& times) {
    QFileSystemModel model;
    model.setNameFilters({QStringLiteral("*.bin"), QStringLiteral("*.zip")});
    model.setNameFilterDisables(false);
    QListView view;
    view.resize(kWindow);
    view.setModel(&model);
    view.show();
    QElapsedTimer timer, gap;
    double stall = 0;
    timer.start();
    gap.start();
    const QModelIndex root = model.setRootPath(folder);
    view.setRootIndex(root);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        stall = std::max(stall, seconds(gap));
        gap.restart();
        if (model.rowCount(root) >= matching || timer.elapsed() > 120000)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    times.rows.push_back(seconds(timer));
    times.stall.push_back(stall);
    view.grab();
    times.painted.push_back(seconds(timer));
}

void time_worker_alone(const QString& folder) {
    QElapsedTimer timer;
    timer.start();
    const auto names = core::list_folder_files(folder.toStdString(), kFilter.toStdString());
    const double listed = seconds(timer);
    timer.restart();
    const auto entries = mainwindow::read_file_entries(folder, kFilter);
    std::printf("worker alone: listing %.3f s, listing + one stat per file %.3f s (%zu files)\n",
                listed, seconds(timer), entries.size());
}

void print(const char* what, const Times& times) {
    std::printf("%-28s rows %.3f s   painted %.3f s   longest pause %.3f s\n", what,
                median(times.rows), median(times.painted), median(times.stall));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int files = 100000, runs = 5;
    bool reference = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc)
            files = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--no-reference") == 0)
            reference = false;
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const int matching = make_folder(dir.path(), files);
    std::printf("%d files, %d matching %s\n", files, matching, qPrintable(kFilter));

    time_worker_alone(dir.path());
    using Style = mainwindow::FileList::Style;
    const char* names[] = {"large icons", "small icons", "list", "details"};
    Times styles[4], fs_model;
    for (Style style : {Style::List, Style::Details, Style::SmallIcons, Style::LargeIcons}) {
        const int index = static_cast<int>(style);
        time_file_list(dir.path(), style, runs, styles[index]);
        print(qPrintable(QStringLiteral("FileList, %1").arg(names[index])), styles[index]);
    }
    const Times& list = styles[static_cast<int>(Style::List)];
    if (reference) {
        time_reference(dir.path(), matching, fs_model);
        print("QFileSystemModel + QListView", fs_model);
        std::printf("ratio FileList / QFileSystemModel (painted): %.3f\n",
                    median(list.painted) / median(fs_model.painted));
    }
    std::printf("ratio FileList / goal of 1 s (painted, list style): %.3f\n", median(list.painted));
    return 0;
}
