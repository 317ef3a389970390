#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "progress.h"
#include "result.h"

namespace update {

/// Body caps: a database may be large; lists, version files and news never are.
inline constexpr std::uint64_t kDatabaseBodyCap = 256ull << 20;
inline constexpr std::uint64_t kSmallBodyCap = 1ull << 20;

struct HttpOptions {
    std::string proxy_server; ///< "" for a direct connection
    long proxy_port = 80;
    long connect_timeout_seconds = 20;
    /// A transfer that receives nothing for this long fails; the design would wait forever.
    long stall_timeout_seconds = 30;
};

/// The proxy of section "general" of the settings file (`ProxyServer`, `ProxyPort`),
/// with the usual timeouts.
HttpOptions http_options_from_settings(const std::filesystem::path& settings_file = {});

/// GET requests over libcurl. Redirects are followed to http(s) addresses only, at most 5.
///
/// Every transfer runs for an operation and takes its progress: the bytes received and
/// the size the server announced (0 when none) go to Progress::bytes(), and Stop ends the
/// transfer within about a second, even while nothing arrives (libcurl asks at least once
/// a second), with Error::Code::Cancelled.
///
/// Every failure has a message that names the address. Its code tells the kinds apart:
/// NotFound for an answer of 400 or above; BadInput for a body over the cap or a redirect
/// elsewhere than http(s); Cancelled for Stop; Failed when the server could not be
/// reached, stalled, or dropped the connection before the whole body came.
class HttpClient {
public:
    explicit HttpClient(HttpOptions options = {});

    /// The whole body in memory.
    core::Result<std::string> get_text(std::string_view url, core::Progress& progress,
                                       std::uint64_t cap = kSmallBodyCap) const;

    /// The body written to `file` (created or truncated). On failure `file` is removed.
    core::Status get_file(std::string_view url, const std::filesystem::path& file,
                          core::Progress& progress, std::uint64_t cap = kDatabaseBodyCap) const;

    /// Fails when the server of `url` cannot be reached (the answer itself does not count).
    core::Status probe(std::string_view url, core::Progress& progress) const;

    const HttpOptions& options() const { return m_options; }

private:
    HttpOptions m_options;
};

/// Every blank of an address replaced by "%20"; nothing else is encoded.
std::string encode_spaces(std::string_view url);

} // namespace update
