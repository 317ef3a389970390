// libFuzzer target for the settings file: the INI text in memory, then the same bytes as
// a settings file read and written through the settings functions.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "ini_file.h"
#include "settings.h"
#include "text.h"

using fuzzing::check;

namespace {

void check_ini(std::string_view text) {
    core::IniFile ini = core::IniFile::parse(text);
    const std::string once = ini.serialize();
    // Written again it stays the same, but for a CR inside a line, which a rewrite in
    // CR LF form takes for a line end.
    bool stray_cr = false;
    for (std::size_t at = text.find('\r'); at != std::string_view::npos; at = text.find('\r', at + 1))
        stray_cr = stray_cr || at + 1 == text.size() || text[at + 1] != '\n';
    if (!stray_cr)
        check(core::IniFile::parse(once).serialize() == once);
    // Every key listed reads, in a section whose name is used once (keys() lists every
    // section of a name, get() reads the first).
    std::vector<std::string> sections = ini.sections();
    for (auto& name : sections)
        name = core::to_lower_ascii(name);
    for (const auto& name : sections)
        if (std::count(sections.begin(), sections.end(), name) == 1)
            for (const auto& k : ini.keys(name))
                check(ini.get(name, k).has_value());
    // A key set is read back as set, blanks and quotes around it included.
    ini.set("zfuzz", "Key", "\" a = b ");
    check(ini.get("ZFUZZ", "key") == "\" a = b ");
    ini.set("zfuzz", "Key", "a = b");
    if (!sections.empty() && !ini.keys(sections.front()).empty()) {
        const std::string key = ini.keys(sections.front()).front();
        ini.set(sections.front(), key, "x");
        check(ini.get(sections.front(), key) == "x");
    }
    check(core::IniFile::parse(ini.serialize()).get("zfuzz", "key") == "a = b");
}

void check_settings_file(std::string_view bytes) {
    const auto file = fuzzing::write_input("zelkon.ini", bytes);
    const bool unreadable = core::unreadable_settings_notice(file).has_value();
    const core::SettingValue value = core::read_setting("general", "LastNews", "none", file);
    if (unreadable)
        check(value == "none");
    const core::Status written = core::write_setting("general", "LastNews", "news of today", file);
    // A file that cannot be read is never written over.
    check(written.ok() != unreadable);
    if (unreadable) {
        check(fuzzing::read_back(file) == bytes);
        return;
    }
    check(core::read_setting("GENERAL", "lastnews", "none", file) == "news of today");
    check(!core::unreadable_settings_notice(file).has_value());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzzing::text_of(data, size);
    check_ini(text);
    check_settings_file(text);
    return 0;
}
