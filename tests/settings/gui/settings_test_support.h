#pragma once

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app_home.h"
#include "job_context.h"
#include "rom_forge.h"
#include "settings.h"
#include "temp_dir.h"
#include "when_shown.h"
#include "zdb_writer.h"

namespace settings_test {

using testsupport::when_shown;

namespace fs = std::filesystem;

// A click as the user makes it, also on a page that is not in front.
inline void click(QAbstractButton* button) {
    QVERIFY(button->isEnabled());
    button->click();
}

inline QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

/// A home with one system, "Genesis" (SGENESIS), and the context a window gets for it.
class Home {
public:
    Home() {
        core::set_app_home(dir.path());
        fs::create_directories(dir.path() / "databases");
        systems.push_back({"Genesis", "SGENESIS", "*.bin", database("SGENESIS")});
        context.systems = &systems;
        context.current_system = 1;
        context.settings_tab = &tab;
        context.answerer = [this](const core::Message& m) {
            messages.push_back(m);
            return core::Answer::Ok;
        };
    }

    fs::path database(const std::string& id) const {
        return dir.path() / "databases" / (id + ".zdb");
    }
    void write_database(const fs::path& path, const std::string& version,
                        const std::string& more_info = {}) const {
        core::ZdbHeader header = testsupport::db_header("SGENESIS", "Genesis", "*.bin");
        header.version = version;
        header.credit = "The Collectors";
        header.notes = "Notes of " + version;
        header.more_info = more_info;
        fs::create_directories(path.parent_path());
        QVERIFY(core::write_zdb(path, 3, header, {testsupport::rom_entry(0x12345678, "Game")}));
    }
    std::string stored(const char* section, const char* key) const {
        return core::read_setting(section, key, "<none>").text();
    }
    fs::path ini() const { return core::settings_file_path(); }

    testsupport::TempDir dir;
    std::vector<core::SystemEntry> systems;
    int tab = 0;
    ui::JobContext context;
    std::vector<core::Message> messages;
};

} // namespace settings_test
