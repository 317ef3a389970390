#include "update_run.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <string_view>
#include <system_error>

#include "cp1252.h"
#include "database_file.h"
#include "http_client.h"
#include "module_state.h"
#include "progress.h"
#include "site.h"
#include "temp_folder.h"
#include "text.h"
#include "update_server.h"

namespace zelshell {
namespace fs = std::filesystem;

namespace {

constexpr const char* kNotFound = "Not found on server";
constexpr const char* kCurrent = "Did not need to be updated";
constexpr const char* kUpdated = "Updated to version ";
constexpr const char* kDownloadFailed = "Error occurred when downloading";

HRESULT open_failure(const fs::path& file, int error) {
    HRESULT hr = E_FAIL;
    if (error == ENOENT)
        hr = kFileNotFound;
    else if (error == ENOTDIR)
        hr = kPathNotFound;
    else if (error == EACCES || error == EPERM || error == EISDIR)
        hr = E_ACCESSDENIED;
    return fail_with(hr, "cannot open " + core::quoted(file) + ": " + std::strerror(error));
}

// A length byte and that many bytes; false when the file ends first.
bool read_text(std::istream& in, std::string& text) {
    const int length = in.get();
    if (length == std::char_traits<char>::eof())
        return false;
    text.assign(static_cast<std::size_t>(length), '\0');
    return static_cast<bool>(in.read(text.data(), length));
}

std::string to_upper_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// A version file is one line; a line end left by a hand-written file would otherwise end
// up inside the download address.
std::string_view without_line_end(std::string_view body) {
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.remove_suffix(1);
    return body;
}

bool is_database(const fs::path& file) {
    return core::to_lower_ascii(file.extension().string()) == ".zdb";
}

// A name beside `database` that nothing holds yet: the download never lands on a file of
// the user's, and one run never meets another's leftovers.
fs::path temporary_beside(const fs::path& database) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    for (;;) {
        fs::path candidate = database;
        candidate += ".download-";
        for (int i = 0; i < 6; ++i)
            candidate += kLetters[letter(pick)];
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
    }
}

// What the server said about one database's version.
struct VersionAnswer {
    enum class Kind { Unreachable, NotFound, Offer };
    Kind kind = Kind::NotFound;
    std::string text; ///< the version file without its line end (Offer)
};

class UpdateRun {
public:
    UpdateRun() : m_server(update::update_root()) {}
    HRESULT run(const std::vector<std::string>& paths);

private:
    HRESULT update_one(const fs::path& database);
    VersionAnswer fetch_version(const std::string& name) const;
    std::string outcome(const fs::path& database, const std::string& name, std::string_view offer,
                        const std::string& local_version) const;
    bool download(const fs::path& database, const std::string& url) const;

    update::ServerAddresses m_server;
    update::HttpClient m_http; // no proxy: the file manager's side reads no settings
    std::string m_summary = "Here is the update summary:\r";
};

bool confirmed() {
    return MessageBoxA(nullptr,
                       "You have selected multiple databases.\rIt may take a while, but Zelkon "
                       "will give you a summary at the end",
                       "Just to let you know", MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

HRESULT UpdateRun::run(const std::vector<std::string>& paths) {
    if (paths.size() >= 2 && !confirmed())
        return S_OK;
    for (const auto& path : paths) {
        if (!is_database(path))
            continue;
        if (const HRESULT hr = update_one(path); hr != S_OK)
            return failed(hr) ? hr : S_OK;
    }
    MessageBoxA(nullptr, m_summary.c_str(), "Summary", MB_OK | MB_ICONINFORMATION);
    return S_OK;
}

// S_OK to go on with the next file; S_FALSE when the server cannot be reached (the run
// ends, told so); a failure code when the database cannot be read.
HRESULT UpdateRun::update_one(const fs::path& database) {
    const std::string name = database.stem().string();
    const VersionAnswer answer = fetch_version(name);
    if (answer.kind == VersionAnswer::Kind::Unreachable) {
        MessageBoxA(nullptr, "Cannot Find Server", "Unable to update", MB_OK | MB_ICONERROR);
        return S_FALSE;
    }
    m_summary += "\r" + name + " -> ";
    if (answer.kind == VersionAnswer::Kind::NotFound) {
        m_summary += kNotFound;
        return S_OK;
    }
    std::vector<std::string> texts;
    if (const HRESULT hr = read_header_texts(database, 3, texts); failed(hr))
        return hr;
    m_summary += outcome(database, name, answer.text, texts.size() == 3 ? texts[2] : "");
    return S_OK;
}

// A file name as one segment of an address: every byte but letters, digits and "-._~" as
// %XX. A "#" or "?" left as it is would cut the name short, and the server would be asked
// for another database, which could then replace this one.
std::string address_segment(std::string_view name) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    return out;
}

// Only a server that cannot be reached (or drops the connection) stops the run; an answer
// of any kind that is not a version file means the server does not have this database.
VersionAnswer UpdateRun::fetch_version(const std::string& name) const {
    // A control character cannot travel in an address: no server can have such a name.
    if (!update::is_plain_file_name(name))
        return {};
    const auto body = m_http.get_text(m_server.version_file(address_segment(name)),
                                      core::null_progress(), update::kSmallBodyCap);
    if (!body)
        return {body.error().code == core::Error::Code::Failed ? VersionAnswer::Kind::Unreachable
                                                               : VersionAnswer::Kind::NotFound,
                {}};
    if (!body->empty() && body->front() == '<')
        return {};
    return {VersionAnswer::Kind::Offer, std::string(without_line_end(*body))};
}

std::string UpdateRun::outcome(const fs::path& database, const std::string& name,
                               std::string_view offer, const std::string& local_version) const {
    const auto blank = offer.find(' ');
    if (blank == std::string_view::npos) // no download folder: nothing to fetch from
        return kDownloadFailed;
    const std::string version(offer.substr(0, blank));
    if (version == local_version)
        return kCurrent;
    const std::string url = update::encode_spaces(offer.substr(blank + 1)) +
                            address_segment(to_upper_ascii(name)) + ".zdb";
    if (!download(database, url))
        return kDownloadFailed;
    return kUpdated + core::cp1252_to_utf8(version);
}

// The download replaces the database only when it reads as one, with one rename; a
// read-only database stays as it is.
bool UpdateRun::download(const fs::path& database, const std::string& url) const {
    const fs::path temporary = temporary_beside(database);
    core::RemoveOnExit cleanup(temporary);
    if (!m_http.get_file(url, temporary, core::null_progress()))
        return false;
    if (!update::install_database(temporary, database, false))
        return false;
    cleanup.release();
    return true;
}

} // namespace

HRESULT read_header_texts(const fs::path& file, std::size_t count,
                          std::vector<std::string>& texts) {
    texts.clear();
    std::error_code ec;
    if (fs::is_directory(file, ec))
        return open_failure(file, EISDIR);
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return open_failure(file, errno != 0 ? errno : EIO);
    if (in.get() == std::char_traits<char>::eof())
        return S_OK;
    std::string text;
    while (texts.size() < count && read_text(in, text))
        texts.push_back(text);
    return S_OK;
}

HRESULT run_update(const std::vector<std::string>& paths) {
    return UpdateRun().run(paths);
}

} // namespace zelshell
