#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "local_server.h"
#include "rom_forge.h"
#include "shell_fixture.h"
#include "temp_dir.h"
#include "zdb_writer.h"

namespace shelltest {
namespace {

namespace fs = std::filesystem;
using testsupport::Reply;
using testsupport::TempDir;

struct Box {
    std::string text;
    std::string title;
    std::uint32_t type;
    bool operator==(const Box&) const = default;
};

Box summary(const std::string& lines) {
    return {"Here is the update summary:\r" + lines, "Summary", MB_OK | MB_ICONINFORMATION};
}

// The file manager's side of the update command: a selection, a site that records every
// message box and answers from a script, and a local update server.
class ContextMenuTest : public ::testing::Test {
protected:
    ContextMenuTest() {
        if (const char* old = std::getenv("ZELKON_UPDATE_ROOT"))
            m_old_root = old;
        setenv("ZELKON_UPDATE_ROOT", server.root().c_str(), 1);
        const ZelshellSite site{sizeof(ZelshellSite), &record, this, nullptr, nullptr};
        shell().set_site(&site);
    }
    ~ContextMenuTest() override {
        shell().set_site(nullptr);
        if (m_old_root)
            setenv("ZELKON_UPDATE_ROOT", m_old_root->c_str(), 1);
        else
            unsetenv("ZELKON_UPDATE_ROOT");
    }

    static int record(void* context, const char* text, const char* title, std::uint32_t type) {
        auto& self = *static_cast<ContextMenuTest*>(context);
        self.boxes.push_back({text, title, type});
        return self.answer;
    }

    ComPtr<IContextMenu> menu_for(const std::vector<std::string>& names) {
        auto menu = create<IContextMenu>(CLSID_clsContextMenu, IID_IContextMenu);
        std::vector<std::string> paths;
        for (const auto& n : names)
            paths.push_back((dir.path() / n).string());
        ComPtr<IShellExtInit> init;
        EXPECT_EQ(menu->QueryInterface(IID_IShellExtInit, init.put()), S_OK);
        EXPECT_EQ(init->Initialize(nullptr, selection(paths).get(), nullptr), S_OK);
        return menu;
    }
    static HRESULT invoke(IContextMenu& menu, const char* verb) {
        const CMINVOKECOMMANDINFO info{sizeof info, 0, nullptr, verb,   nullptr,
                                       nullptr,     1, 0,       nullptr};
        return menu.InvokeCommand(&info);
    }
    HRESULT update(const std::vector<std::string>& names) {
        return invoke(*menu_for(names).get(), make_int_verb(0));
    }

    void database(const std::string& name, const std::string& version,
                  const std::string& long_name = "games") const {
        core::ZdbHeader header = testsupport::db_header(name, long_name, "*.bin");
        header.version = version;
        const fs::path path = dir.path() / (name + ".zdb");
        EXPECT_TRUE(core::write_zdb(path, 3, header, {testsupport::rom_entry(0x1234, "G")}).ok());
    }
    // The version file of a database (by its lower-case name) pointing at "/files/".
    void publish(const std::string& lower, const std::string& version) {
        server.on("/zelkon/zdb/" + lower + ".txt",
                  Reply{.body = version + " " + server.url("/files/") + "\r\n"});
    }
    testsupport::TempDir dir;
    testsupport::LocalServer server;
    std::vector<Box> boxes;
    int answer = IDOK;

private:
    std::optional<std::string> m_old_root;
};

TEST_F(ContextMenuTest, MenuItemAndHelpTextFollowTheSelection) {
    database("SNES", "1", "Super Café games");
    MenuModel menu{{{7, "Open"}, {8, "Copy"}}};
    EXPECT_EQ(menu_for({"SNES.zdb"})->QueryContextMenu(&menu, 1, 40, 50, 0), make_hresult(0, 0, 1));
    menu_for({"a.zdb", "b.zdb", "c.txt"})->QueryContextMenu(&menu, 0, 60, 70, 0);
    ASSERT_EQ(menu.items.size(), 4u);
    EXPECT_EQ(menu.items[0].text, "Update Databases");
    EXPECT_EQ(menu.items[2].text, "Update Database");
    EXPECT_EQ(menu.items[2].id, 40u);

    auto one = menu_for({"SNES.zdb"});
    char ansi[64];
    EXPECT_EQ(one->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, sizeof ansi), S_OK);
    EXPECT_EQ(std::string(ansi), "Check for an updated 'Super Caf\xE9 games' database");
    char16_t wide[64];
    one->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 64);
    EXPECT_EQ(std::u16string(wide), u"Check for an updated 'Super Café games' database");
    // Cut to nine characters and a NUL; nothing written past the caller's ten.
    std::string cut(12, 'x');
    one->GetCommandString(0, GCS_VERBA, nullptr, cut.data(), 10);
    EXPECT_EQ(cut, std::string("Check for\0xx", 12));
    std::u16string cut_wide(12, u'x');
    one->GetCommandString(0, GCS_VALIDATEW, nullptr, reinterpret_cast<char*>(cut_wide.data()), 10);
    EXPECT_EQ(cut_wide, std::u16string(u"Check for\0xx", 12));
    // Other kinds of request copy nothing; several files, or one that cannot be read, get
    // the general text.
    std::string untouched = "xx";
    EXPECT_EQ(one->GetCommandString(0, 3, nullptr, untouched.data(), 2), S_OK);
    EXPECT_EQ(untouched, "xx");
    for (const auto& names : {std::vector<std::string>{"SNES.zdb", "x.txt"}, {"missing.zdb"}}) {
        menu_for(names)->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, sizeof ansi);
        EXPECT_EQ(std::string(ansi), "Check for updates");
    }
    // Only command offset 0 runs the update; a verb text never does.
    for (const char* verb : {make_int_verb(1), "open"})
        EXPECT_EQ(invoke(*one.get(), verb), S_OK);
    EXPECT_TRUE(server.paths().empty());
    EXPECT_TRUE(boxes.empty());
}

// Only a download that reads as a database replaces one, and never a read-only one.
TEST_F(ContextMenuTest, EachDatabaseGetsItsOutcomeInTheSummary) {
    for (const char* name :
         {"Ab#sent", "Paged", "Same", "Sega CD", "Broken", "Junk", "Locked", "Bare", "odd\nname"})
        database(name, "1");
    fs::permissions(dir.path() / "Locked.zdb", fs::perms::owner_read);
    server.on("/zelkon/zdb/paged.txt", Reply{.body = "<html>not here</html>"});
    for (const char* name : {"same", "sega cd", "broken", "junk", "locked"})
        publish(name, name == std::string("same") ? "1" : "2");
    const std::string fresh = testsupport::read_file(dir.path() / "Same.zdb");
    server.on("/files/SEGA CD.zdb", Reply{.body = fresh});
    server.on("/files/LOCKED.zdb", Reply{.body = fresh});
    server.on("/files/BROKEN.zdb", Reply{.body = "<html>gone</html>"});
    server.on("/files/JUNK.zdb", Reply{.body = std::string("\x03garbage", 8)});
    server.on("/zelkon/zdb/bare.txt", Reply{.body = "2\r\n"});
    std::map<std::string, std::string> kept;
    for (const char* name : {"Broken.zdb", "Junk.zdb", "Locked.zdb"})
        kept[name] = testsupport::read_file(dir.path() / name);

    EXPECT_EQ(update({"Ab#sent.zdb", "notes.txt", "Paged.zdb", "Same.zdb", "Sega CD.zdb",
                      "Broken.zdb", "Junk.zdb", "Locked.zdb", "Bare.zdb", "odd\nname.zdb"}),
              S_OK);
    const std::string failed = " -> Error occurred when downloading";
    EXPECT_EQ(boxes, (std::vector<Box>{
                         {"You have selected multiple databases.\rIt may take a while, but "
                          "Zelkon will give you a summary at the end",
                          "Just to let you know", MB_OKCANCEL | MB_ICONINFORMATION},
                         summary("\rAb#sent -> Not found on server\rPaged -> Not found on server"
                                 "\rSame -> Did not need to be updated"
                                 "\rSega CD -> Updated to version 2\rBroken" +
                                 failed + "\rJunk" + failed + "\rLocked" + failed + "\rBare" +
                                 failed + "\rodd\nname -> Not found on server")}));
    EXPECT_EQ(testsupport::read_file(dir.path() / "Sega CD.zdb"), fresh);
    for (const auto& [name, bytes] : kept)
        EXPECT_EQ(testsupport::read_file(dir.path() / name), bytes) << name;
    // The version file by its lower-case name, the download by its upper-case name, each
    // blank sent as "%20" and a "#" as "%23"; nothing asked for the text file or the name no address can hold.
    EXPECT_EQ(server.paths(),
              (std::vector<std::string>{
                  "/zelkon/zdb/ab#sent.txt", "/zelkon/zdb/paged.txt", "/zelkon/zdb/same.txt",
                  "/zelkon/zdb/sega cd.txt", "/files/SEGA CD.zdb", "/zelkon/zdb/broken.txt",
                  "/files/BROKEN.zdb", "/zelkon/zdb/junk.txt", "/files/JUNK.zdb",
                  "/zelkon/zdb/locked.txt", "/files/LOCKED.zdb", "/zelkon/zdb/bare.txt"}));
    for (const auto& seen : server.requests())
        EXPECT_EQ(seen.target.find(' '), std::string::npos) << seen.target;
    EXPECT_EQ(testsupport::entry_count(dir.path()), 9u) << "no download left beside them";
}

TEST_F(ContextMenuTest, CancelADeadServerOrAnUnreadableDatabaseEndTheRunWithoutSummary) {
    database("A", "1");
    database("B", "1");
    answer = IDCANCEL;
    EXPECT_EQ(update({"A.zdb", "B.zdb"}), S_OK);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(server.paths().empty());

    // A database selected and gone by the time its version is read: its error, no summary.
    answer = IDOK;
    boxes.clear();
    publish("gone", "2");
    EXPECT_EQ(update({"Gone.zdb", "A.zdb"}), kFileNotFound);
    EXPECT_NE(shell().error_text(kFileNotFound).find("Gone.zdb"), std::string::npos);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(server.paths(), std::vector<std::string>{"/zelkon/zdb/gone.txt"});

    boxes.clear();
    const std::string dead = "http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + "/";
    setenv("ZELKON_UPDATE_ROOT", dead.c_str(), 1);
    EXPECT_EQ(update({"A.zdb"}), S_OK);
    const Box unreachable{"Cannot Find Server", "Unable to update", MB_OK | MB_ICONERROR};
    EXPECT_EQ(boxes, std::vector<Box>{unreachable}) << "one database: no question, no summary";
}

} // namespace
} // namespace shelltest
