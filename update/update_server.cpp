#include "update_server.h"

#include <cstdlib>

#include "app_home.h"
#include "text.h"

namespace update {

std::string update_root() {
    const char* env = std::getenv("ZELKON_UPDATE_ROOT");
    std::string root = env && *env ? env : "http://" ZELKON_UPDATE_HOST "/zelkon/";
    if (root.back() != '/')
        root += '/';
    return root;
}

bool is_local_server(std::string_view root) {
    const auto scheme = root.find("://");
    std::string_view host = scheme == std::string_view::npos ? root : root.substr(scheme + 3);
    host = host.substr(0, host.find('/'));
    host = host.substr(host.rfind('@') == std::string_view::npos ? 0 : host.rfind('@') + 1);
    if (host.starts_with('['))
        return host.substr(0, host.find(']') + 1) == "[::1]";
    host = host.substr(0, host.find(':'));
    return host == "127.0.0.1" || host == "localhost";
}

ServerAddresses::ServerAddresses(std::string root) : m_root(std::move(root)) {}

std::string ServerAddresses::list() const {
    return m_root + "list.php";
}

std::string ServerAddresses::database_folder() const {
    return m_root + "zdb/";
}

std::string ServerAddresses::version_file(std::string_view name) const {
    return database_folder() + core::to_lower_ascii(name) + ".txt";
}

std::string ServerAddresses::database_file(std::string_view name) const {
    return database_folder() + std::string(name) + ".zdb";
}

std::string ServerAddresses::standard_news() const {
    return database_folder() + "news/standard.txt";
}

std::string ServerAddresses::auto_news() const {
    return database_folder() + "news/auto.txt";
}

bool is_plain_file_name(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\')
            return false;
    return true;
}

std::filesystem::path local_database_path(std::string_view name) {
    return core::databases_folder() / (std::string(name) + ".zdb");
}

} // namespace update
