#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "http_client.h"
#include "prompter.h"
#include "result.h"
#include "update_server.h"

namespace update {

/// How a front end shows a text file: the window opens the desktop's viewer, the command
/// line prints it. False when the file could not be shown.
class TextViewer {
public:
    virtual ~TextViewer() = default;
    virtual bool show(const std::filesystem::path& file) = 0;
};

/// The files in the home folder.
inline constexpr const char* kNewsFile = "news.txt";
inline constexpr const char* kAutoNewsFile = "newsauto.txt";
inline constexpr const char* kWhatsNewFile = "Zelkon - What's New.txt";

/// "Unable to get the news.", the Read News command's answer to a failed check_for_news.
core::Message news_failure_message();

/// The first line of a news text as `LastNews` keeps it: up to the first CR, LF or NUL,
/// cut to what a setting can hold.
std::string news_first_line(std::string_view text);

/// What check_for_auto_news did.
enum class AutoNews {
    Shown,     ///< a new first line: the file was shown and `LastNews` holds that line
    Unchanged, ///< the first line equals `LastNews`, or the news is empty: nothing shown
    Failed,    ///< fetching, showing or remembering failed; `LastNews` unchanged
};

/// The server's news, fetched into the home folder and shown by a TextViewer. A news file
/// is put in place by one rename, so a failed fetch never leaves half of one behind.
class NewsClient {
public:
    /// `home` holds the news files; `settings_file` empty: the home's settings file.
    NewsClient(ServerAddresses server, HttpClient http, std::filesystem::path home,
               std::filesystem::path settings_file = {});

    /// The standard news into "news.txt", then shown. Fails when it could not be fetched or
    /// shown; the reason names what went wrong.
    core::Status check_for_news(TextViewer& viewer) const;

    /// The Read News command: check_for_news, and on failure news_failure_message().
    core::Status read_news(TextViewer& viewer, core::Prompter& prompter) const;

    /// The automatic news into "newsauto.txt". Shown only when its first line differs from
    /// `LastNews` (section "general"), which then takes that line. Never asks anything;
    /// `reason` (when given) receives why it failed.
    AutoNews check_for_auto_news(TextViewer& viewer, std::string* reason = nullptr) const;

    const std::filesystem::path& home() const { return m_home; }
    const std::filesystem::path& settings_file() const { return m_settings_file; }

private:
    core::Status fetch(const std::string& url, const std::filesystem::path& file) const;

    ServerAddresses m_server;
    HttpClient m_http;
    std::filesystem::path m_home;
    std::filesystem::path m_settings_file;
};

/// What happened to the automatic news of one program run.
enum class AutoNewsRun {
    Ran,        ///< check_for_auto_news ran (see `last`)
    NotAllowed, ///< `CheckForNews` is not "1": nothing asked of the server; asked again later
    AlreadyRan, ///< it has run before in this program run
};

/// The news-shown flag: the automatic news is checked at most once per program run, and
/// only while `CheckForNews` (section "general", default "1") is "1". The window calls
/// on_activation() whenever it is activated with a connection.
class AutoNewsOnce {
public:
    explicit AutoNewsOnce(NewsClient client) : m_client(std::move(client)) {}

    AutoNewsRun on_activation(TextViewer& viewer);
    bool has_run() const { return m_ran; }
    /// The outcome of the run, once has_run().
    AutoNews last() const { return m_last; }
    const std::string& reason() const { return m_reason; }

private:
    NewsClient m_client;
    bool m_ran = false;
    AutoNews m_last = AutoNews::Unchanged;
    std::string m_reason;
};

/// The home's "Zelkon - What's New.txt".
std::filesystem::path whats_new_path(const std::filesystem::path& home);

/// The What's New command; false when the file is missing or could not be shown.
bool show_whats_new(TextViewer& viewer, const std::filesystem::path& home);

} // namespace update
