// rename_window_probe --tree DIR --home HOME [--shot PNG]: opens the Rename ROMs window
// offscreen on DIR/roms (a tree left by `rename_probe --make-only DIR`, its database
// DIR/BENCH.zdb), clicks Start Renaming and prints the seconds from the click to the end
// of the run, as the window sees it. The stored settings of HOME steer the run, so that
// `zelkon-cli --home HOME rename` does the same work; bench/rename_window.sh sets them.
// With --shot the window is saved as a picture after the run; with --preview-shot the run
// starts with Preview and the window showing the plan is saved too (not for timing).
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "frm_rename_roms.h"
#include "log_box.h"
#include "services.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::string tree, home, shot, preview_shot;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--tree") == 0)
            tree = argv[i + 1];
        else if (std::strcmp(argv[i], "--home") == 0)
            home = argv[i + 1];
        else if (std::strcmp(argv[i], "--shot") == 0)
            shot = argv[i + 1];
        else if (std::strcmp(argv[i], "--preview-shot") == 0)
            preview_shot = argv[i + 1];
    }
    if (tree.empty() || home.empty()) {
        std::fprintf(stderr, "usage: rename_window_probe --tree DIR --home HOME [--shot PNG] "
                             "[--preview-shot PNG]\n");
        return 2;
    }
    auto services = core::Services::open({.home = home, .use_cache = false});
    if (!services) {
        std::fprintf(stderr, "%s\n", services.error().message.c_str());
        return 1;
    }
    std::vector<core::SystemEntry> systems{
        {"Benchmark", "BENCH", "*.bin", fs::path(tree) / "BENCH.zdb"}};
    int settings_tab = 0;
    ui::JobContext context;
    context.services = &*services;
    context.systems = &systems;
    context.current_system = 1;
    context.current_folder = (fs::path(tree) / "roms").string() + "/";
    context.file_filter = "*.bin;*.zip";
    context.settings_tab = &settings_tab;
    context.answerer = [](const core::Message&) { return core::Answer::Ok; };

    renaming::frmRenameROMs window(context);
    window.resize(720, 480);
    window.show();
    QElapsedTimer clock;
    QTimer poll;
    auto* ok = window.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.state() == renaming::frmRenameROMs::State::Previewed) {
            window.grab().save(QString::fromStdString(preview_shot));
            ok->click();
        }
        if (window.state() != renaming::frmRenameROMs::State::Finished)
            return;
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        poll.stop();
        std::printf("time %.3f s\n", seconds);
        if (!shot.empty())
            window.grab().save(QString::fromStdString(shot));
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        if (preview_shot.empty())
            ok->click();
        else
            window.findChild<QPushButton*>(QStringLiteral("cmdPreview"))->click();
        poll.start(1);
    });
    return app.exec();
}
