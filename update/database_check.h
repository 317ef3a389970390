#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "http_client.h"
#include "outcome.h"
#include "progress.h"
#include "prompter.h"
#include "rdbs.h"
#include "update_server.h"

namespace update {

/// How the check of one database ended.
struct DatabaseCheck {
    enum class State { Current, Updated, Failed };
    std::string id;
    std::string long_name;
    State state = State::Failed;
    std::string old_version; ///< the local version; "" without a local file
    std::string new_version; ///< the server's version; "" when the version file failed
    std::string reason;      ///< why it failed
};

/// One line for a database of an all-databases check.
std::string describe(const DatabaseCheck& check);

/// What a check did. Failed: the server could not be reached, nothing was checked.
/// Stopped: Stop, between databases or inside a download; the database being fetched is
/// untouched. Refused: no listed database has the id; nothing was asked of the server.
/// The problems are the databases not updated (path: the local file), then, when the run
/// ended early, why. The summary is a line per database of an all-databases check (a
/// single database's outcome is a message).
struct CheckReport : core::Outcome {
    std::vector<DatabaseCheck> databases;
};

/// The database check: each database's version file against the local version, and a
/// newer database downloaded beside the local one (".new") and put in its place.
class DatabaseChecker {
public:
    DatabaseChecker(ServerAddresses server, HttpClient http);

    /// Checks the listed database whose id equals `id` (case-sensitive), or every one when
    /// `id` is empty. With an id the outcome is told through `prompter` ("Updated", "No
    /// Update Necessary", "Unable To Update"); without one nothing is told but an
    /// unreachable server. The report holds every database checked.
    CheckReport update_databases(const std::vector<core::SystemEntry>& systems, std::string_view id,
                                 core::Prompter& prompter, core::Progress& progress) const;

    /// The same over the databases of the home.
    CheckReport update_databases(std::string_view id, core::Prompter& prompter,
                                 core::Progress& progress) const;

    /// One database, without messages.
    DatabaseCheck check_one(const core::SystemEntry& system, core::Progress& progress) const;

private:
    struct VersionFile {
        std::string version;
        std::string download;
    };
    core::Result<VersionFile> fetch_version_file(const std::string& id,
                                                 core::Progress& progress) const;
    void download(const core::SystemEntry& system, const VersionFile& offer, DatabaseCheck& check,
                  core::Progress& progress) const;

    ServerAddresses m_server;
    HttpClient m_http;
};

/// The closing message of a single-database check.
core::Message check_message(const DatabaseCheck& check);
/// The message of a server that cannot be reached.
core::Message unreachable_message(std::string_view description);

} // namespace update
