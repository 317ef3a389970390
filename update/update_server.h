#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace update {

/// The server root: $ZELKON_UPDATE_ROOT when set (for tests and the demo; a missing
/// trailing "/" is added), else "http://" + the built-in host + "/zelkon/".
std::string update_root();

/// True when `root` names a server on this machine (127.0.0.1, ::1 or localhost), which
/// needs no network connection to reach.
bool is_local_server(std::string_view root);

/// The addresses of the update server, all below one root ("http://host/zelkon/").
class ServerAddresses {
public:
    explicit ServerAddresses(std::string root);

    const std::string& root() const { return m_root; }
    std::string list() const;                               ///< root + "list.php"
    std::string database_folder() const;                    ///< root + "zdb/"
    std::string version_file(std::string_view name) const;  ///< lower-case name + ".txt"
    std::string database_file(std::string_view name) const; ///< name as given + ".zdb"
    std::string standard_news() const;                      ///< zdb/news/standard.txt
    std::string auto_news() const;                          ///< zdb/news/auto.txt

private:
    std::string m_root;
};

/// True for a database name that may become a local file name: not empty, no separator
/// ('/' or '\'), not "." or "..", no NUL or other control character. A hostile list must
/// never make us write outside the databases folder.
bool is_plain_file_name(std::string_view name);

/// The databases folder of the application home + name + ".zdb".
std::filesystem::path local_database_path(std::string_view name);

} // namespace update
