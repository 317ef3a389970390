#include "news.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <unistd.h>

#include "app_home.h"
#include "read_file.h"
#include "settings.h"
#include "text.h"

namespace update {
namespace fs = std::filesystem;
using core::Error;

namespace {

constexpr std::size_t kMaxSettingChars = 254; // what a setting keeps of a value

// A private name beside `target`, so that the rename into place stays on one file system.
core::Result<fs::path> temp_beside(const fs::path& target) {
    std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return Error::failed("cannot create a temporary file beside " + core::quoted(target) +
                             ": " + std::strerror(errno));
    ::close(fd);
    return fs::path(pattern);
}

// Fetched with the same cap, so only a file replaced behind our back is refused.
constexpr core::TextFileKind kNewsText{"news", kSmallBodyCap};

core::Result<std::string> read_news_file(const fs::path& file) {
    auto text = core::read_text_file_if_exists(file, kNewsText);
    if (!text)
        return text.error();
    if (!*text)
        return Error::failed("cannot open " + core::quoted(file) + ": " + std::strerror(ENOENT));
    return std::move(**text);
}

bool is_blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Cuts to at most `limit` characters without splitting a UTF-8 sequence.
std::string cut_characters(std::string_view text, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (chars++ == limit)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

// Stopped for Stop, else Failed; the problem is the error, about `file`.
template <typename Report = core::Outcome>
Report not_done(const Error& error, const fs::path& file) {
    Report report;
    report.end = error.code == Error::Code::Cancelled ? core::End::Stopped : core::End::Failed;
    report.problems.push_back(core::Problem::line(error.message, file.string()));
    return report;
}

} // namespace

core::Message news_failure_message() {
    return {"Unable to get the news.", "Unable to connect...", core::Message::Icon::Critical,
            core::Message::Buttons::Ok};
}

std::string news_first_line(std::string_view text) {
    // A setting holds no control character but tab: the line ends at the first other one.
    const auto control = std::find_if(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t';
    });
    text = text.substr(0, static_cast<std::size_t>(control - text.begin()));
    // A longer line would be stored cut and then never equal itself again.
    return cut_characters(text, kMaxSettingChars);
}

NewsClient NewsClient::for_home(fs::path home) {
    return NewsClient(ServerAddresses(update_root()), HttpClient(http_options_from_settings()),
                      std::move(home));
}

NewsClient::NewsClient(ServerAddresses server, HttpClient http, fs::path home,
                       fs::path settings_file)
    : m_server(std::move(server)), m_http(std::move(http)), m_home(std::move(home)),
      m_settings_file(std::move(settings_file)) {}

core::Status NewsClient::fetch(const std::string& url, const fs::path& file,
                               core::Progress& progress) const {
    auto temp = temp_beside(file);
    if (!temp)
        return temp.error();
    // News is a page of text: anything near the cap is not news. A failed download
    // removes its file.
    if (auto got = m_http.get_file(url, *temp, progress, kSmallBodyCap); !got)
        return got.error();
    std::error_code ec;
    fs::rename(*temp, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(*temp, ignored);
        return Error::failed("cannot put the news in " + core::quoted(file) + ": " + ec.message());
    }
    return core::Status::success();
}

core::Outcome NewsClient::check_for_news(TextViewer& viewer, core::Progress& progress) const {
    const fs::path file = m_home / kNewsFile;
    if (auto got = fetch(m_server.standard_news(), file, progress); !got)
        return not_done(got.error(), file);
    if (!viewer.show(file))
        return not_done(Error::failed("cannot show " + core::quoted(file)), file);
    return {};
}

core::Outcome NewsClient::read_news(TextViewer& viewer, core::Prompter& prompter,
                                    core::Progress& progress) const {
    core::Outcome shown = check_for_news(viewer, progress);
    if (shown.end == core::End::Failed)
        prompter.ask(news_failure_message());
    return shown;
}

AutoNewsReport NewsClient::check_for_auto_news(TextViewer& viewer, core::Progress& progress) const {
    using Report = AutoNewsReport;
    const fs::path file = m_home / kAutoNewsFile;
    if (auto got = fetch(m_server.auto_news(), file, progress); !got)
        return not_done<Report>(got.error(), file);
    auto text = read_news_file(file);
    if (!text)
        return not_done<Report>(text.error(), file);
    const std::string line = news_first_line(*text);
    // A server with nothing to say (a freshly published site) has no news to show.
    if (is_blank(*text) || core::read_setting("general", "LastNews", "0", m_settings_file) == line)
        return {};
    // Shown before it is remembered: news the viewer could not show comes again next time.
    if (!viewer.show(file))
        return not_done<Report>(Error::failed("cannot show " + core::quoted(file)), file);
    if (auto saved = core::write_setting("general", "LastNews", line, m_settings_file); !saved)
        return not_done<Report>(saved.error(), m_settings_file);
    Report shown;
    shown.shown = true;
    return shown;
}

AutoNewsRun AutoNewsOnce::on_activation(TextViewer& viewer, core::Progress& progress) {
    if (m_ran)
        return AutoNewsRun::AlreadyRan;
    // Read at every activation: the user may allow the news later in this run.
    if (core::read_setting("general", "CheckForNews", "1", m_client.settings_file()) != "1")
        return AutoNewsRun::NotAllowed;
    m_ran = true;
    m_last = m_client.check_for_auto_news(viewer, progress);
    return AutoNewsRun::Ran;
}

fs::path whats_new_path(const fs::path& home) {
    // The home's own copy wins; else the one the program came with, beside it (a portable
    // or build folder) or in the data folder of its install.
    std::error_code ec;
    const fs::path own = home / kWhatsNewFile;
    if (fs::is_regular_file(own, ec))
        return own;
    const fs::path programs = core::executable_folder();
    for (const fs::path& shipped :
         {programs / kWhatsNewFile, programs.parent_path() / "share" / "zelkon" / kWhatsNewFile})
        if (!programs.empty() && fs::is_regular_file(shipped, ec))
            return shipped;
    return own;
}

bool show_whats_new(TextViewer& viewer, const fs::path& home) {
    const fs::path file = whats_new_path(home);
    std::error_code ec;
    return fs::is_regular_file(file, ec) && viewer.show(file);
}

} // namespace update
