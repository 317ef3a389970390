#include "platform_xdg.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform.h"
#include "text.h"

namespace zelshell::platform {
namespace {

namespace fs = std::filesystem;

// The caches are rebuilt in a second or two; a tool that hangs must not hang us for good.
constexpr std::chrono::seconds kToolTimeout{60};

core::Result<fs::path> home_folder() {
    const char* home = std::getenv("HOME");
    if (home && fs::path(home).is_absolute())
        return fs::path(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir == '/')
        return fs::path(pw->pw_dir);
    return core::Error::not_found("cannot find the home folder: HOME is not set");
}

core::Result<fs::path> xdg_folder(const char* variable, const fs::path& below_home) {
    if (const char* value = std::getenv(variable); value && fs::path(value).is_absolute())
        return fs::path(value);
    auto home = home_folder();
    if (!home)
        return home.error();
    return *home / below_home;
}

// The XDG config folder of a running process, from its environment; none when unreadable.
std::optional<fs::path> config_of_process(const fs::path& process) {
    std::ifstream file(process / "environ", std::ios::binary);
    if (!file)
        return std::nullopt;
    fs::path config, home;
    for (std::string entry; std::getline(file, entry, '\0');) {
        if (entry.starts_with("XDG_CONFIG_HOME=") && fs::path(entry.substr(16)).is_absolute())
            config = entry.substr(16);
        else if (entry.starts_with("HOME="))
            home = entry.substr(5);
    }
    return config.empty() ? home / ".config" : config;
}

bool same_folder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) || a.lexically_normal() == b.lexically_normal();
}

// A process that has ended but not yet been collected by its parent (state Z) runs no more,
// and its environment can no longer be read.
bool has_ended(const fs::path& process) {
    std::string stat;
    std::getline(std::ifstream(process / "stat"), stat);
    const auto after_name = stat.rfind(") ");
    return after_name != std::string::npos && after_name + 2 < stat.size() &&
           (stat[after_name + 2] == 'Z' || stat[after_name + 2] == 'X');
}

} // namespace

core::Result<fs::path> data_home() {
    return xdg_folder("XDG_DATA_HOME", fs::path(".local") / "share");
}

core::Result<fs::path> config_home() {
    return xdg_folder("XDG_CONFIG_HOME", ".config");
}

std::vector<fs::path> config_dirs() {
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    std::vector<fs::path> dirs;
    for (const std::string& dir : core::split_list(value && *value ? value : "/etc/xdg", ':'))
        if (fs::path(dir).is_absolute())
            dirs.emplace_back(dir);
    return dirs;
}

bool program_running_with_config(std::string_view name, const fs::path& config) {
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string pid = it->path().filename().string();
        struct stat st {};
        if (pid.find_first_not_of("0123456789") != std::string::npos ||
            ::stat(it->path().c_str(), &st) != 0 || st.st_uid != ::getuid())
            continue;
        std::string comm;
        std::getline(std::ifstream(it->path() / "comm"), comm);
        if (!core::iequals(comm, name) || has_ended(it->path()))
            continue;
        const auto theirs = config_of_process(it->path());
        if (!theirs || same_folder(*theirs, config))
            return true;
    }
    return false;
}

bool run_tool(const std::vector<std::string>& argv) {
    return core::run_and_wait(argv, {}, kToolTimeout);
}

std::optional<mode_t> permission_bits(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
        return std::nullopt;
    return st.st_mode & 07777;
}

} // namespace zelshell::platform
