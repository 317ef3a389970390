#include "app_home.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace core {
namespace {

std::filesystem::path& home_storage() {
    static std::filesystem::path home;
    return home;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::filesystem::path user_data_folder() {
    std::filesystem::path xdg = env("XDG_DATA_HOME");
    if (xdg.is_absolute())
        return xdg;
    std::string home = env("HOME");
    if (home.empty())
        if (const passwd* pw = ::getpwuid(::getuid()))
            home = pw->pw_dir;
    return std::filesystem::path(home) / ".local" / "share";
}

bool is_portable_folder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (folder.empty() || ::access(folder.c_str(), W_OK) != 0)
        return false;
    return std::filesystem::exists(folder / "zelkon.ini", ec) ||
           std::filesystem::is_directory(folder / "databases", ec);
}

} // namespace

std::filesystem::path executable_folder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

// "--home ." names the current folder; messages should say which one, not "/x/./zelkon.ini".
static std::filesystem::path absolute_folder(const std::filesystem::path& folder) {
    auto clean = std::filesystem::absolute(folder).lexically_normal();
    if (!clean.has_filename() && clean != clean.root_path())
        clean = clean.parent_path();
    return clean;
}

std::filesystem::path resolve_app_home(const std::optional<std::filesystem::path>& explicit_home) {
    if (explicit_home && !explicit_home->empty())
        return absolute_folder(*explicit_home);
    if (std::string home = env("ZELKON_HOME"); !home.empty())
        return absolute_folder(home);
    if (auto exe = executable_folder(); is_portable_folder(exe))
        return exe;
    return user_data_folder() / "zelkon";
}

void set_app_home(std::filesystem::path home) {
    home_storage() = std::move(home);
}

const std::filesystem::path& app_home() {
    auto& home = home_storage();
    if (home.empty())
        home = resolve_app_home(std::nullopt);
    return home;
}

std::filesystem::path settings_file_path() {
    return app_home() / "zelkon.ini";
}

std::filesystem::path databases_folder() {
    return app_home() / "databases";
}

} // namespace core
