#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app_home.h"
#include "http_client.h"
#include "local_server.h"
#include "recorders.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "text.h"
#include "zdb.h"
#include "zdb_writer.h"

namespace testsupport {

/// Short timeouts, so that a stalling or dead server fails a test in about a second.
inline update::HttpOptions quick_http() {
    return {.connect_timeout_seconds = 2, .stall_timeout_seconds = 1};
}

/// A server root where nothing answers.
inline std::string dead_root() {
    return "http://127.0.0.1:" + std::to_string(dead_port()) + "/zelkon/";
}

/// A database of one ROM: this id, its long name id + " games", this version.
inline void write_database(const std::filesystem::path& path, const std::string& id,
                           const std::string& version) {
    core::ZdbHeader header = db_header(id, id + " games", "*.bin");
    header.version = version;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(core::write_zdb(path, 3, header, {rom_entry(0x12345678, "Game")}).ok());
}

/// Every file below `folder`, by its relative path, with its bytes.
inline std::map<std::string, std::string> tree_of(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (!e.is_directory())
            files[std::filesystem::relative(e.path(), folder).string()] = read_file(e.path());
    return files;
}

/// A body that comes slowly: 4 KiB every half second.
inline Reply slow_body(std::string body) {
    body.resize(std::max<std::size_t>(body.size(), 16 * 4096), '\0');
    return Reply{.body = std::move(body), .pause_ms = 500};
}

/// Records the bytes reported. Asks to stop once `stop` is set (from any thread, or by a
/// hook), or once `stop_at_bytes` (when not 0) have arrived. The hooks see every log text
/// and every time Stop is polled.
class StopProgress final : public core::Progress {
public:
    void status(std::string_view) override {}
    void log(std::string_view text) override {
        if (on_log)
            on_log(text);
    }
    void step(std::size_t, std::size_t) override {}
    void bytes(std::uint64_t done, std::uint64_t total) override {
        seen.emplace_back(done, total);
        if (stop_at_bytes && done >= stop_at_bytes)
            stop = true;
    }
    bool stop_requested() const override {
        if (on_poll)
            on_poll();
        return stop;
    }

    std::atomic<bool> stop = false;
    std::uint64_t stop_at_bytes = 0;
    std::function<void(std::string_view)> on_log;
    std::function<void()> on_poll;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
};

/// Checks a message box whole.
inline void expect_box(const core::Message& m, const std::string& text, const std::string& title,
                       core::Message::Icon icon,
                       core::Message::Buttons buttons = core::Message::Buttons::Ok) {
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.title, title);
    EXPECT_EQ(m.icon, icon);
    EXPECT_EQ(m.buttons, buttons);
}

/// A home (the application home) with a databases folder, and a local server whose root
/// serves `site`/zelkon.
class UpdateHome : public ::testing::Test {
protected:
    void SetUp() override {
        core::set_app_home(home.path());
        std::filesystem::create_directories(home.path() / "databases");
        server.serve_folder(site.path());
    }

    std::filesystem::path local(const std::string& name) const {
        return home.path() / "databases" / (name + ".zdb");
    }
    void put_local(const std::string& name, const std::string& version) const {
        write_database(local(name), name, version);
    }
    std::string local_version(const std::string& name) const {
        return core::read_zdb_version(local(name));
    }
    /// NAME.zdb on the server with its version file (the name in lower case + ".txt").
    void publish(const std::string& name, const std::string& version) const {
        write_database(site.path() / "zelkon/zdb" / (name + ".zdb"), name, version);
        site.write("zelkon/zdb/" + core::to_lower_ascii(name) + ".txt",
                   version + " " + server.root() + "zdb/");
    }
    void list_body(const std::string& body) const { site.write("zelkon/list.php", body); }
    /// The files below the home, relative and sorted: no temporary file may stay.
    std::vector<std::string> home_files() const {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : tree_of(home.path()))
            names.push_back(name);
        return names;
    }
    std::size_t requests_for(const std::string& path) const {
        auto paths = server.paths();
        return static_cast<std::size_t>(std::count(paths.begin(), paths.end(), path));
    }

    TempDir home, site;
    LocalServer server;
    RecordingPrompter prompter;
    RecordingProgress progress;
};

} // namespace testsupport
