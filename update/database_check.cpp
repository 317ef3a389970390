#include "database_check.h"

#include <system_error>

#include "app_home.h"
#include "database_file.h"
#include "read_file.h"
#include "text.h"
#include "zdb.h"

namespace update {
namespace fs = std::filesystem;
using core::Error;
using State = DatabaseCheck::State;

namespace {

std::string quoted_url(std::string_view url) {
    return "'" + std::string(url) + "'";
}

bool is_web_address(std::string_view url) {
    auto starts = [&](std::string_view scheme) {
        return url.size() > scheme.size() && core::iequals(url.substr(0, scheme.size()), scheme);
    };
    return starts("http://") || starts("https://");
}

// A version file is one line: a byte-order mark, the line end and anything after it are
// not part of the version or the address, and no address may hold a line end.
std::string_view first_line(std::string_view body) {
    body = core::without_bom(body);
    return body.substr(0, body.find_first_of("\r\n"));
}

DatabaseCheck failed(DatabaseCheck check, std::string reason) {
    check.state = State::Failed;
    check.reason = std::move(reason);
    return check;
}

std::string named(const DatabaseCheck& check) {
    return check.long_name + " (" + check.id + ")";
}

// The databases not updated as problems, a line per database when all were checked, and
// why the run ended early (`why` empty when it did not).
CheckReport finished(CheckReport report, bool all, core::End end = core::End::Completed,
                     std::string why = {}) {
    for (const auto& d : report.databases) {
        if (all)
            report.summary += describe(d) + "\n";
        if (d.state == State::Failed)
            report.problems.push_back(
                {is_plain_file_name(d.id) ? local_database_path(d.id).string() : std::string(),
                 named(d) + ": not updated", d.reason});
    }
    report.end = end;
    if (!why.empty())
        report.problems.push_back(core::Problem::line(std::move(why)));
    return report;
}

// The check a single-database run tells about: a failure first, then an update.
const DatabaseCheck* telling(const std::vector<DatabaseCheck>& checks) {
    const DatabaseCheck* told = nullptr;
    for (const auto& c : checks) {
        if (c.state == State::Failed)
            return &c;
        if (!told || c.state == State::Updated)
            told = &c;
    }
    return told;
}

} // namespace

std::string describe(const DatabaseCheck& check) {
    switch (check.state) {
    case State::Current:
        return named(check) + ": current, version " + check.old_version;
    case State::Updated:
        if (check.old_version.empty())
            return named(check) + ": updated to version " + check.new_version +
                   " (there was no local copy)";
        return named(check) + ": updated from version " + check.old_version + " to " +
               check.new_version;
    case State::Failed:
        break;
    }
    return named(check) + ": not updated: " + check.reason;
}

core::Message check_message(const DatabaseCheck& check) {
    using Icon = core::Message::Icon;
    switch (check.state) {
    case State::Current:
        return {"The database did not need to be updated", "No Update Necessary",
                Icon::Information};
    case State::Updated:
        return {"The database has been upgraded from version " + check.old_version + " to " +
                    check.new_version,
                "Updated", Icon::Information};
    case State::Failed:
        break;
    }
    return {"There was an error when attempting to get the database\r\r" + check.reason,
            "Unable To Update", Icon::Exclamation};
}

core::Message unreachable_message(std::string_view description) {
    return {"Could not connect to the server.\r\r" + std::string(description), "Arg",
            core::Message::Icon::Exclamation};
}

DatabaseChecker::DatabaseChecker(ServerAddresses server, HttpClient http)
    : m_server(std::move(server)), m_http(std::move(http)) {}

core::Result<DatabaseChecker::VersionFile>
DatabaseChecker::fetch_version_file(const std::string& id, core::Progress& progress) const {
    const std::string url = encode_spaces(m_server.version_file(id));
    auto body = m_http.get_text(url, progress, kSmallBodyCap);
    if (!body)
        return body.error();
    const std::string_view text = first_line(*body);
    if (!text.empty() && text.front() == '<')
        return Error::not_found("the server's answer to " + quoted_url(url) +
                                " is an error page, not a version file");
    const auto blank = text.find(' ');
    if (blank == std::string_view::npos)
        return Error::bad_input("the version file " + quoted_url(url) +
                                " holds no blank between the version and the download address");
    return VersionFile{std::string(text.substr(0, blank)),
                       std::string(text.substr(blank + 1)) + id + ".zdb"};
}

void DatabaseChecker::download(const core::SystemEntry& system, const VersionFile& offer,
                               DatabaseCheck& check, core::Progress& progress) const {
    const std::string url = encode_spaces(offer.download);
    if (!is_web_address(url)) {
        check = failed(check, "the version file names a download address that is not an http "
                              "or https address: " +
                                  quoted_url(url));
        return;
    }
    progress.status("Getting new " + system.long_name + " database...");
    const fs::path local = local_database_path(system.id);
    const fs::path fresh = fs::path(local.string() + ".new");
    std::error_code ignored;
    fs::remove(fresh, ignored); // a leftover of an earlier run is never taken for this one
    if (auto got = m_http.get_file(url, fresh, progress, kDatabaseBodyCap); !got) {
        check = failed(check, got.error().message);
        return;
    }
    // An error page, a cut-short file or a read-only database never replaces the local file.
    if (auto put = install_database(fresh, local, false); !put) {
        check = failed(check, put.error().message);
        return;
    }
    check.state = State::Updated;
}

DatabaseCheck DatabaseChecker::check_one(const core::SystemEntry& system,
                                         core::Progress& progress) const {
    DatabaseCheck check{system.id, system.long_name};
    // The id comes from a database's header: it must not lead a path out of the folder.
    if (!is_plain_file_name(system.id))
        return failed(check, "the id " + quoted_url(system.id) + " cannot name a database file");
    auto offer = fetch_version_file(system.id, progress);
    if (!offer)
        return failed(check, offer.error().message);
    check.new_version = offer->version;
    const fs::path local = local_database_path(system.id);
    std::error_code ec;
    if (fs::exists(local, ec))
        check.old_version = core::read_zdb_version(local);
    check.state = State::Current;
    if (check.new_version != check.old_version)
        download(system, *offer, check, progress);
    return check;
}

CheckReport DatabaseChecker::update_databases(const std::vector<core::SystemEntry>& systems,
                                              std::string_view id, core::Prompter& prompter,
                                              core::Progress& progress) const {
    CheckReport report;
    const bool all = id.empty();
    std::vector<const core::SystemEntry*> chosen;
    for (const auto& s : systems)
        if (all || s.id == id)
            chosen.push_back(&s);
    if (chosen.empty() && !all)
        return finished(report, all, core::End::Refused,
                        "no loaded database has the id " + quoted_url(id));
    if (auto reached = m_http.probe(m_server.database_folder(), progress); !reached) {
        if (reached.error().code == Error::Code::Cancelled)
            return finished(report, all, core::End::Stopped, reached.error().message);
        prompter.ask(unreachable_message(reached.error().message));
        return finished(report, all, core::End::Failed, reached.error().message);
    }
    for (std::size_t i = 0; i < chosen.size() && !progress.stop_requested(); ++i) {
        progress.status("Checking " + chosen[i]->long_name + "...");
        progress.step(i + 1, chosen.size());
        report.databases.push_back(check_one(*chosen[i], progress));
    }
    // A stop during the last database ends the run as a stop between them does: no message.
    if (progress.stop_requested())
        return finished(std::move(report), all, core::End::Stopped, "the check was stopped");
    if (!all)
        prompter.ask(check_message(*telling(report.databases)));
    return finished(std::move(report), all);
}

CheckReport DatabaseChecker::update_databases(std::string_view id, core::Prompter& prompter,
                                              core::Progress& progress) const {
    // Checking reads headers only: the desktop program's first-load notices stay as they are.
    auto systems = core::load_rdbs(core::databases_folder(), prompter, progress,
                                   {.reset_first_load_notice = false});
    return update_databases(systems, id, prompter, progress);
}

} // namespace update
