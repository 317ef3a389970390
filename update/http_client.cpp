#include "http_client.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "settings.h"
#include "text.h"

namespace update {

namespace fs = std::filesystem;
using core::Error;

namespace {

/// A port is 1 to 65535 in decimal digits, blanks around allowed. Anything else (a typo,
/// "8080x", a negative number) falls back to the default rather than to half a number.
long port_or_default(std::string_view text) {
    constexpr long kDefaultPort = 80;
    text = core::trim_spaces(text);
    if (text.empty() || text.size() > 5)
        return kDefaultPort;
    long port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return kDefaultPort;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : kDefaultPort;
}

} // namespace

HttpOptions http_options_from_settings(const fs::path& settings_file) {
    HttpOptions options;
    options.proxy_server = std::string(
        core::trim_spaces(core::read_setting("general", "ProxyServer", "", settings_file).text()));
    options.proxy_port =
        port_or_default(core::read_setting("general", "ProxyPort", "80", settings_file).text());
    return options;
}

std::string encode_spaces(std::string_view url) {
    std::string out;
    out.reserve(url.size());
    for (char c : url)
        c == ' ' ? out += "%20" : out += c;
    return out;
}

namespace {

std::string quoted_url(std::string_view url) {
    return "'" + std::string(url) + "'";
}

/// "1 MiB", "64 KiB", "100 bytes": caps are round numbers, so whole units read best.
std::string size_text(std::uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string seconds_text(long seconds) {
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

constexpr long kMaxRedirects = 5;

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using Curl = std::unique_ptr<CURL, CurlDeleter>;

/// Where the body goes while a transfer runs, and what stopped it early.
struct Transfer {
    std::string* text = nullptr;
    int fd = -1;
    std::uint64_t cap = 0;
    std::uint64_t received = 0;
    bool too_large = false;
    int write_errno = 0;
    core::Progress* progress = nullptr;
    bool was_cancelled = false;
    curl_off_t reported = -1; ///< the byte count told last: an idle transfer tells nothing
};

std::size_t on_body(char* data, std::size_t, std::size_t n, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.received + n > t.cap) {
        t.too_large = true;
        return 0;
    }
    t.received += n;
    if (t.text) {
        t.text->append(data, n);
        return n;
    }
    for (std::size_t done = 0; done < n;) {
        auto w = ::write(t.fd, data + done, n - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            t.write_errno = w < 0 ? errno : EIO;
            return 0;
        }
        done += static_cast<std::size_t>(w);
    }
    return n;
}

// Called many times a second while data flows and about once a second while none does.
int on_progress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.progress->stop_requested()) {
        t.was_cancelled = true;
        return 1;
    }
    if (now > 0 && now != t.reported) {
        t.reported = now;
        t.progress->bytes(static_cast<std::uint64_t>(now), static_cast<std::uint64_t>(total));
    }
    return 0;
}

Curl make_handle(const HttpOptions& options, std::string_view url, char* error_text) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    Curl curl(curl_easy_init());
    if (!curl)
        return curl;
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, std::string(url).c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_text);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, options.connect_timeout_seconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, options.stall_timeout_seconds);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "zelkon/" ZELKON_VERSION);
    // The proxy is ours to set: an empty setting means a direct connection, whatever the
    // environment says, so a run behaves the same from a desktop and from a script.
    curl_easy_setopt(h, CURLOPT_PROXY, options.proxy_server.c_str());
    if (!options.proxy_server.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXYPORT, options.proxy_port);
        // An empty list also keeps $no_proxy from bypassing the proxy the user chose.
        curl_easy_setopt(h, CURLOPT_NOPROXY, "");
    }
    return curl;
}

long redirects(CURL* h) {
    long count = 0;
    curl_easy_getinfo(h, CURLINFO_REDIRECT_COUNT, &count);
    return count;
}

bool connected(CURL* h) {
    curl_off_t connect_time = 0;
    curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connect_time);
    return connect_time > 0;
}

Error timed_out(CURL* h, const HttpOptions& options, const std::string& where) {
    if (!connected(h))
        return Error::failed("cannot connect to the server for " + where + ": no answer within " +
                             seconds_text(options.connect_timeout_seconds));
    return Error::failed("the server stopped sending " + where + ": nothing arrived for " +
                         seconds_text(options.stall_timeout_seconds));
}

Error failure(CURL* h, CURLcode code, const Transfer& t, const HttpOptions& options,
              std::string_view url, const char* error_text) {
    auto where = quoted_url(url);
    if (t.was_cancelled)
        return {Error::Code::Cancelled, "the download of " + where + " was stopped"};
    if (t.too_large || code == CURLE_FILESIZE_EXCEEDED)
        return Error::bad_input("the answer to " + where + " is larger than " + size_text(t.cap) +
                                "; it was refused");
    if (t.write_errno)
        return Error::failed("cannot write the download of " + where + ": " +
                             std::strerror(t.write_errno));
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    std::string detail = *error_text ? error_text : curl_easy_strerror(code);
    switch (code) {
    case CURLE_HTTP_RETURNED_ERROR:
        return Error::not_found("the server answered " + std::to_string(status) + " to " + where);
    case CURLE_UNSUPPORTED_PROTOCOL:
        if (redirects(h) == 0)
            return Error::bad_input(where + " is not an http or https address");
        return Error::bad_input("the server sent " + where +
                                " on to an address we do not follow (" + detail + ")");
    case CURLE_TOO_MANY_REDIRECTS:
        return Error::bad_input("the server sent " + where + " on more than " +
                                std::to_string(kMaxRedirects) + " times; we do not follow");
    case CURLE_OPERATION_TIMEDOUT:
        return timed_out(h, options, where);
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        return Error::failed("the connection was lost before the whole of " + where +
                             " arrived: " + detail);
    default:
        return Error::failed("cannot connect to the server for " + where + ": " + detail);
    }
}

// One request: a GET whose body goes where `t` says, or a HEAD (`with_body` false).
core::Status perform(const HttpOptions& options, std::string_view url, Transfer& t,
                     bool with_body = true) {
    char error_text[CURL_ERROR_SIZE] = {};
    auto curl = make_handle(options, url, error_text);
    if (!curl)
        return Error::failed("cannot start a download of " + quoted_url(url));
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, on_progress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    if (with_body) {
        curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
        // An announced length over the cap is refused before any of the body is read.
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.cap));
    } else {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    }
    if (auto code = curl_easy_perform(h); code != CURLE_OK)
        return failure(h, code, t, options, url, error_text);
    return core::Status::success();
}

} // namespace

HttpClient::HttpClient(HttpOptions options) : m_options(std::move(options)) {}

core::Result<std::string> HttpClient::get_text(std::string_view url, core::Progress& progress,
                                               std::uint64_t cap) const {
    std::string body;
    Transfer t{.text = &body, .cap = cap, .progress = &progress};
    if (auto status = perform(m_options, url, t); !status)
        return status.error();
    return body;
}

core::Status HttpClient::get_file(std::string_view url, const fs::path& file,
                                  core::Progress& progress, std::uint64_t cap) const {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Error::failed("cannot create " + core::quoted(file) + " for the download of " +
                             quoted_url(url) + ": " + std::strerror(errno));
    Transfer t{.fd = fd, .cap = cap, .progress = &progress};
    auto status = perform(m_options, url, t);
    // The file is renamed into place next: its bytes must be on disk before that.
    if (status && ::fsync(fd) != 0)
        status = Error::failed("cannot write " + core::quoted(file) + ": " + std::strerror(errno));
    ::close(fd);
    if (!status) {
        std::error_code ec;
        fs::remove(file, ec);
    }
    return status;
}

core::Status HttpClient::probe(std::string_view url, core::Progress& progress) const {
    Transfer t{.progress = &progress};
    return perform(m_options, url, t, false);
}

} // namespace update
