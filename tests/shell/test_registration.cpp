#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "ini_file.h"
#include "rom_forge.h"
#include "shell_fixture.h"
#include "temp_dir.h"
#include "zdb_writer.h"

extern char** environ;

namespace shelltest {
namespace {

namespace fs = std::filesystem;
using testsupport::read_file;
using testsupport::TempDir;
using testsupport::write_file;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Plays zelshell: answers --machine with fixed JSON and records any other call's arguments.
constexpr const char* kFakeHost = R"(#!/bin/sh
case "$2" in --machine)
  case "$1" in
    tip) echo '{"system":"Sega Genesis","version":"2.0"}' ;;
    *) echo '{"title":"ROM Database","credit":"Someone","count":1234,"count_text":"1,234","version":"2.0"}' ;;
  esac; exit 0 ;;
esac
printf '%s\n' "$@" > "$0.calls.tmp" && mv "$0.calls.tmp" "$0.calls"
)";

constexpr const char* kOtherActions = R"(<?xml version="1.0" encoding="UTF-8"?>
<actions>
<action>
	<icon>utilities-terminal</icon>
	<name>Open Terminal Here</name>
	<unique-id>1700000000000000-1</unique-id>
	<command>exo-open --working-directory %f --launch TerminalEmulator</command>
	<patterns>*</patterns>
	<directories/>
</action>
  <action><name>Mine &amp; yours</name><unique-id>42</unique-id><command>echo %F</command><patterns>*.txt</patterns><text-files/></action>
</actions>
)";

int run(const std::string& command, std::string* out = nullptr) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string text;
    char buffer[4096];
    for (std::size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, got);
    const int status = pipe ? ::pclose(pipe) : -1;
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool have(const std::string& tool) {
    return run("command -v " + tool + " >/dev/null") == 0;
}

void expect_valid_entry(const fs::path& entry) {
    std::string out;
    if (!have("desktop-file-validate"))
        return;
    EXPECT_EQ(run("desktop-file-validate '" + entry.string() + "'", &out), 0) << out;
}

unsigned mode_of(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Every entry below `root` with its mode and bytes; `identity` adds inode and change time,
// which a rewrite of the same bytes changes.
std::map<std::string, std::string> tree(const fs::path& root, bool identity = false) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        std::string& value = entries[entry.path().string()];
        value = std::to_string(st.st_mode) + (entry.is_regular_file() ? read_file(entry) : "");
        if (identity)
            value += " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_ctim.tv_sec) +
                     "." + std::to_string(st.st_ctim.tv_nsec);
    }
    return entries;
}

class Registration : public ::testing::Test {
protected:
    // A home and a program path with the characters that quoting must carry.
    fs::path data() const { return m_root.path() / "data"; }
    fs::path config() const { return m_root.path() / "config"; }
    fs::path host() const { return m_root.path() / "it's \"$x\" a\\b" / "zelshell"; }
    fs::path databases() const { return m_root.path() / "home $x" / "databases"; }

    void SetUp() override {
        write_file(host(), kFakeHost);
        fs::permissions(host(), fs::perms::owner_all);
        fs::create_directories(databases());
    }
    void TearDown() override { shell().set_site(nullptr); }

    HRESULT register_server(const fs::path& launchers = {}, const fs::path& host_program = {}) {
        const std::string program = (host_program.empty() ? host() : host_program).string();
        const ZelshellSite site{sizeof(ZelshellSite), nullptr, nullptr, program.c_str(),
                                launchers.empty() ? nullptr : launchers.c_str()};
        shell().set_site(&site);
        return shell().register_server();
    }
    std::string error_text() const { return shell().error_text(S_FALSE); }

    TempDir m_root;
    ScopedEnv m_data{"XDG_DATA_HOME", data().string()};
    ScopedEnv m_config{"XDG_CONFIG_HOME", config().string()};
    ScopedEnv m_system{"XDG_CONFIG_DIRS", (m_root.path() / "etc").string()};
    ScopedEnv m_home{"ZELKON_HOME", databases().parent_path().string()};
};

TEST_F(Registration, WritesTheClassesTheFileTypeAndEveryFileManagersCommands) {
    ASSERT_EQ(register_server(), S_OK) << error_text();
    for (const auto& [file, mode] : std::map<std::string, unsigned>{
             {"zelkon/zelshell/classes.ini", 0644},
             {"mime/packages/zelkon-zdb.xml", 0644},
             {"icons/hicolor/scalable/mimetypes/application-x-zelkon-zdb.svg", 0644},
             {"kio/servicemenus/zelkon-zdb.desktop", 0755},
             {"kio/servicemenus/zelkon-rename.desktop", 0755},
             {"nautilus-python/extensions/zelkon_shell.py", 0644},
             {"nemo/actions/zelkon-update.nemo_action", 0644},
             {"file-manager/actions/zelkon-rename.desktop", 0644},
             {"applications/zelkon-shell.desktop", 0644}})
        EXPECT_EQ(mode_of(data() / file), mode) << file;
    EXPECT_NE(read_file(config() / "Thunar" / "uca.xml").find("zelkon-zelshell-rename"),
              std::string::npos);

    // The class registry, both ways.
    const auto classes = core::IniFile::load(data() / "zelkon" / "zelshell" / "classes.ini");
    for (const char* name :
         {"clsContextMenu", "clsPropertySheet", "clsQueryInfo", "clsDropHandler", "clsDropFiles"}) {
        const std::string progid = std::string("ZelkonShell.") + name;
        const auto clsid = classes->get(progid, "CLSID");
        ASSERT_TRUE(clsid) << progid;
        EXPECT_EQ(classes->get(*clsid, "ProgID"), progid);
        EXPECT_TRUE(classes->get(*clsid, "Library")->ends_with("/libzelshell.so"));
    }

    // Dolphin's service menu, read as Dolphin reads it: every listed action is there.
    const auto menu = core::IniFile::load(data() / "kio/servicemenus/zelkon-zdb.desktop");
    EXPECT_EQ(menu->get("Desktop Entry", "Type"), "Service");
    EXPECT_EQ(menu->get("Desktop Entry", "MimeType"), "application/x-zelkon-zdb;");
    EXPECT_EQ(menu->get("Desktop Entry", "Actions"), "update;properties;");
    EXPECT_EQ(menu->get("Desktop Action update", "Name"), "Update Database(s)");
    EXPECT_TRUE(menu->get("Desktop Action update", "Exec")->ends_with(" update %F"));
    EXPECT_TRUE(menu->get("Desktop Action properties", "Exec")->ends_with(" properties %F"));

    expect_valid_entry(data() / "applications/zelkon-shell.desktop");
    std::string out;
    if (!have("gio"))
        return;
    for (const char* name : {"game.zdb", "GAME.ZDB"}) {
        const fs::path sample = m_root.write(name, "\x03"
                                                   "1.0");
        run("gio info -a standard::content-type '" + sample.string() + "'", &out);
        EXPECT_NE(out.find("standard::content-type: application/x-zelkon-zdb"), std::string::npos)
            << name << ": " << out;
    }
}

TEST_F(Registration, KeepsOthersBytesAndUnregistrationLeavesTheFoldersAsTheyWere) {
    write_file(config() / "Thunar" / "uca.xml", kOtherActions);
    write_file(data() / "applications" / "other.desktop", "[Desktop Entry]\nType=Link\n");
    const auto before = tree(m_root.path());

    ASSERT_EQ(register_server(), S_OK) << error_text();
    const std::string uca = read_file(config() / "Thunar" / "uca.xml");
    const std::string others(kOtherActions);
    const auto close = others.rfind("</actions>");
    EXPECT_EQ(uca.substr(0, close), others.substr(0, close));
    EXPECT_TRUE(uca.ends_with("</action>\n</actions>\n")) << uca;
    EXPECT_NE(uca.find("<unique-id>zelkon-zelshell-update</unique-id>"), std::string::npos);

    const auto registered = tree(m_root.path(), true);
    ASSERT_EQ(register_server(), S_OK) << error_text();
    EXPECT_EQ(tree(m_root.path(), true), registered);

    ASSERT_EQ(shell().unregister_server(), S_OK);
    EXPECT_EQ(tree(m_root.path()), before);
}

TEST_F(Registration, TouchesNeitherAnothersFileNorAUsersChangeNorThunarsFileWhileItRuns) {
    const std::string anothers =
        "<mime-info xmlns='http://www.freedesktop.org/standards/shared-mime-info'/>";
    write_file(data() / "mime" / "packages" / "zelkon-zdb.xml", anothers);
    write_file(config() / "Thunar" / "uca.xml", kOtherActions);
    // A process of ours that /proc calls "thunar".
    fs::copy_file("/bin/sleep", m_root.path() / "thunar");
    const std::string program = (m_root.path() / "thunar").string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("30"), nullptr};
    pid_t thunar = 0;
    ASSERT_EQ(::posix_spawn(&thunar, argv[0], nullptr, nullptr, argv, environ), 0);

    EXPECT_EQ(register_server(), S_FALSE);
    EXPECT_NE(error_text().find("zelkon-zdb.xml' was not written by the registration"),
              std::string::npos);
    EXPECT_NE(error_text().find("Thunar is running"), std::string::npos) << error_text();
    EXPECT_NE(error_text().find("\"Update Database(s)\": command '"), std::string::npos);
    EXPECT_EQ(read_file(data() / "mime" / "packages" / "zelkon-zdb.xml"), anothers);
    EXPECT_EQ(read_file(config() / "Thunar" / "uca.xml"), kOtherActions);
    // Ended but not yet collected by its parent, it runs no more.
    ::kill(thunar, SIGKILL);
    siginfo_t ended{};
    ::waitid(P_PID, static_cast<id_t>(thunar), &ended, WEXITED | WNOWAIT);
    register_server();
    ::waitpid(thunar, nullptr, 0);
    EXPECT_NE(read_file(config() / "Thunar" / "uca.xml").find("zelkon-zelshell-update"),
              std::string::npos);

    // A file of ours that the user changed since stays with their change.
    const fs::path action = data() / "nemo" / "actions" / "zelkon-update.nemo_action";
    write_file(action, read_file(action) + "Terminal=true\n");
    EXPECT_EQ(shell().unregister_server(), S_FALSE);
    EXPECT_NE(error_text().find("was changed since it was written: kept"), std::string::npos);
    EXPECT_TRUE(fs::exists(action));
    EXPECT_FALSE(fs::exists(data() / "nemo" / "actions" / "zelkon-rename.nemo_action"));
}

TEST_F(Registration, RefusesAMissingHostOrALauncherFolderWithALineBreakAndWritesNothing) {
    const fs::path missing = m_root.path() / "gone" / "zelshell";
    EXPECT_EQ(register_server({}, missing), kFileNotFound);
    EXPECT_NE(error_text().find(missing.string()), std::string::npos) << error_text();
    EXPECT_EQ(register_server(m_root.path() / "a\nb"), E_INVALIDARG);
    EXPECT_NE(error_text().find("line break"), std::string::npos) << error_text();
    EXPECT_FALSE(fs::exists(data()));
    EXPECT_FALSE(fs::exists(config()));
}

// Without a uca.xml of the user's Thunar reads the system's: ours join its actions. A
// uca.xml linked elsewhere (kept with other settings) is written where it points.
TEST_F(Registration, ThunarsFileStartsFromTheSystemsAndIsWrittenThroughALink) {
    const std::string others(kOtherActions);
    const std::string before_close = others.substr(0, others.rfind("</actions>"));
    write_file(m_root.path() / "etc" / "Thunar" / "uca.xml", kOtherActions);
    ASSERT_EQ(register_server(), S_OK) << error_text();
    EXPECT_TRUE(read_file(config() / "Thunar" / "uca.xml").starts_with(before_close));
    ASSERT_EQ(shell().unregister_server(), S_OK);
    EXPECT_FALSE(fs::exists(config()));

    const fs::path kept = m_root.write("dotfiles/uca.xml", kOtherActions);
    fs::create_directories(config() / "Thunar");
    fs::create_symlink(kept, config() / "Thunar" / "uca.xml");
    ASSERT_EQ(register_server(), S_OK) << error_text();
    EXPECT_TRUE(fs::is_symlink(config() / "Thunar" / "uca.xml"));
    EXPECT_NE(read_file(kept).find("zelkon-zelshell-update"), std::string::npos);
    ASSERT_EQ(shell().unregister_server(), S_OK);
    EXPECT_EQ(read_file(kept), kOtherActions);
}

TEST_F(Registration, WritesALauncherPerDatabaseAndDropsThoseOfDatabasesGone) {
    auto header = testsupport::db_header("SGENESIS", "Sega Genesis", "*.bin");
    ASSERT_TRUE(core::write_zdb(databases() / "SGENESIS.zdb", 3, header, {}).ok());
    write_file(databases() / "broken.zdb", "\x09");
    const fs::path launchers = m_root.path() / "launchers";

    EXPECT_EQ(register_server(launchers), S_FALSE);
    EXPECT_NE(error_text().find("No launcher for '" + (databases() / "broken.zdb").string()),
              std::string::npos)
        << error_text();
    const fs::path launcher = launchers / "zelkon-rename-SGENESIS.desktop";
    EXPECT_EQ(mode_of(launcher), 0755u);
    EXPECT_EQ(core::IniFile::load(launcher)->get("Desktop Entry", "Name"),
              "Rename with Sega Genesis database");
    expect_valid_entry(launcher);

    fs::remove(databases() / "SGENESIS.zdb");
    register_server(launchers);
    EXPECT_FALSE(fs::exists(launchers));
}

// The Nautilus extension imported against the real gi bindings and driven with fake files;
// then every command line of every file manager split as that file manager splits it.
constexpr const char* kNautilusCheck = R"(
import importlib.util, os, sys, time, xml.etree.ElementTree as tree
import gi
gi.require_version("Nautilus", "4.0")
from gi.repository import Gio, GLib, Nautilus

extension, data, config, host, zdb, rom, launchers = sys.argv[1:]
spec = importlib.util.spec_from_file_location("zelkon_shell", extension)
module = importlib.util.module_from_spec(spec)
spec.loader.exec_module(module)
shell = module.ZelkonExtension()

class File:
    def __init__(self, path, mime): self.path, self.mime, self.attributes = path, mime, {}
    def get_location(self): return Gio.File.new_for_path(self.path)
    def get_mime_type(self): return self.mime
    def is_directory(self): return False
    def add_string_attribute(self, key, value): self.attributes[key] = value

def calls():
    for _ in range(1000):
        if os.path.exists(host + ".calls"):
            return open(host + ".calls").read().splitlines()
        time.sleep(0.01)

database, other = File(zdb, "application/x-zelkon-zdb"), File(rom, "application/octet-stream")
labels = lambda items: [item.get_property("label") for item in items]
assert labels(shell.get_file_items([database])) == ["Update Database", "ROM Database Properties"]
assert labels(shell.get_file_items([database, database]))[0] == "Update Databases"
[rename] = shell.get_file_items([other, database])
assert rename.get_property("label") == "Rename with Zelkon Database..."
rename.activate()
assert calls() == ["drop", "--choose", rom, zdb], calls()

[page] = shell.get_models([database])
rows = page.get_model()
assert page.get_title() == "ROM Database"
assert [(rows.get_item(i).get_name(), rows.get_item(i).get_value()) for i in range(3)] == [
    ("Credit To:", "Someone"), ("ROM Count:", "1,234"), ("Version:", "2.0")]
assert labels(shell.get_columns()) == ["System", "Version", "ROMs"]
loop = GLib.MainLoop()
Nautilus.info_provider_update_complete_invoke = lambda *args: loop.quit()
assert shell.update_file_info_full(None, None, None, database) == Nautilus.OperationResult.IN_PROGRESS
GLib.timeout_add_seconds(30, loop.quit)
loop.run()
assert database.attributes == {"zelkon_system": "Sega Genesis", "zelkon_version": "2.0",
                               "zelkon_roms": "1,234"}, database.attributes

def split(command):
    expanded = command.replace("%%", "\0").replace("%F", GLib.shell_quote(zdb)).replace("\0", "%")
    return GLib.shell_parse_argv(expanded)[1]

def keyfile_commands(path):
    keys = GLib.KeyFile()
    keys.load_from_file(path, GLib.KeyFileFlags.NONE)
    return [keys.get_string(group, "Exec") for group in keys.get_groups()[0]
            if "Exec" in keys.get_keys(group)[0]]

commands = [c for folder in ("kio/servicemenus", "nemo/actions", "file-manager/actions",
                             "applications")
            for name in sorted(os.listdir(os.path.join(data, folder)))
            for c in keyfile_commands(os.path.join(data, folder, name))]
commands += [action.findtext("command") for action in tree.parse(
    os.path.join(config, "Thunar", "uca.xml")).getroot()]
verbs = sorted(" ".join(split(c)[1:-1]) for c in commands if split(c)[0] == host)
assert verbs == sorted(["update", "properties", "drop --choose"] * 4 + ["properties"]), verbs
[launcher] = os.listdir(launchers)
argv = split(keyfile_commands(os.path.join(launchers, launcher))[0])
assert argv[:2] == [host, "drop"] and os.path.isfile(argv[2]) and argv[3:] == [zdb], argv
print("checked")
)";

std::optional<std::string> python_with_nautilus() {
    for (std::string python : {"/usr/bin/python3", "python3"})
        if (run(python + " -c \"import gi; gi.require_version('Nautilus', '4.0'); "
                         "from gi.repository import Nautilus\"") == 0)
            return python;
    return std::nullopt;
}

TEST_F(Registration, NautilusExtensionAndEveryCommandLineRunTheHost) {
    const auto python = python_with_nautilus();
    if (!python)
        GTEST_SKIP() << "python3-nautilus is not installed";
    auto header = testsupport::db_header("SGENESIS", "Sega Genesis", "*.bin");
    ASSERT_TRUE(core::write_zdb(databases() / "SGENESIS.zdb", 3, header, {}).ok());
    ASSERT_EQ(register_server(m_root.path() / "launchers"), S_OK) << error_text();
    const fs::path script = m_root.write("check.py", kNautilusCheck);
    std::string command = *python;
    for (const fs::path& arg : {script, data() / "nautilus-python/extensions/zelkon_shell.py",
                                data(), config(), host(), m_root.write("a b.zdb", "\x03"),
                                m_root.path() / "rom.bin", m_root.path() / "launchers"}) {
        std::string quoted = "'";
        for (const char c : arg.string())
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " " + quoted + "'";
    }
    std::string out;
    EXPECT_EQ(run(command, &out), 0) << out;
}

} // namespace
} // namespace shelltest
