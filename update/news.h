#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "http_client.h"
#include "outcome.h"
#include "progress.h"
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

/// The first line of a news text as `LastNews` keeps it: up to the first control character
/// other than tab (CR, LF, NUL...), cut to what a setting can hold.
std::string news_first_line(std::string_view text);

/// What check_for_auto_news did. Completed: the news was shown (`shown`: a new first
/// line, which `LastNews` now holds) or it was not new or empty (nothing shown). Failed:
/// fetching, showing or remembering failed; Stopped: Stop during the download. Either
/// way `LastNews` is unchanged and the problem says why.
struct AutoNewsReport : core::Outcome {
    bool shown = false;
};

/// The server's news, fetched into the home folder and shown by a TextViewer. A news file
/// is put in place by one rename, so a failed or stopped fetch never leaves half of one
/// behind. The operations end Completed, Failed or Stopped; a problem says why.
class NewsClient {
public:
    /// `home` holds the news files; `settings_file` empty: the home's settings file.
    NewsClient(ServerAddresses server, HttpClient http, std::filesystem::path home,
               std::filesystem::path settings_file = {});

    /// The standard news into "news.txt", then shown. Fails when it could not be fetched or
    /// shown; the problem names what went wrong.
    core::Outcome check_for_news(TextViewer& viewer, core::Progress& progress) const;

    /// The Read News command: check_for_news, and on failure news_failure_message().
    core::Outcome read_news(TextViewer& viewer, core::Prompter& prompter,
                            core::Progress& progress) const;

    /// The automatic news into "newsauto.txt". Shown only when its first line differs from
    /// `LastNews` (section "general"), which then takes that line. Never asks anything.
    AutoNewsReport check_for_auto_news(TextViewer& viewer, core::Progress& progress) const;

    /// The client every front end uses: the update server's address (update_root()) and
    /// the proxy of the home's settings file, read now.
    static NewsClient for_home(std::filesystem::path home);

    const std::filesystem::path& home() const { return m_home; }
    const std::filesystem::path& settings_file() const { return m_settings_file; }

private:
    core::Status fetch(const std::string& url, const std::filesystem::path& file,
                       core::Progress& progress) const;

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

    AutoNewsRun on_activation(TextViewer& viewer, core::Progress& progress);
    bool has_run() const { return m_ran; }
    /// The outcome of the run, once has_run().
    const AutoNewsReport& last() const { return m_last; }

private:
    NewsClient m_client;
    bool m_ran = false;
    AutoNewsReport m_last;
};

/// "Zelkon - What's New.txt": the home's own, else the one shipped with the program (beside
/// it, or in the install's share/zelkon); the home's path when there is none.
std::filesystem::path whats_new_path(const std::filesystem::path& home);

/// The What's New command; false when the file is missing or could not be shown.
bool show_whats_new(TextViewer& viewer, const std::filesystem::path& home);

} // namespace update
