#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http_client.h"
#include "outcome.h"
#include "progress.h"
#include "prompter.h"
#include "result.h"
#include "update_server.h"

namespace update {

/// Status texts of the list's last column.
inline constexpr std::string_view kStatusCurrent = "Current";
inline constexpr std::string_view kStatusUpdate = "Update Available";
inline constexpr std::string_view kStatusNew = "New Database";
/// A listed name that may not become a local file name ("../x", "/etc/x", ""): shown,
/// never marked, never downloaded.
inline constexpr std::string_view kStatusUnsafe = "Unsafe Name";
/// A name listed before, also in other letter case (the server does not tell them apart):
/// the first one is the database, the later ones are shown and never downloaded.
inline constexpr std::string_view kStatusDuplicate = "Duplicate";

/// One database of the server's list.
struct ListRow {
    std::string key;                 ///< "id_" + name, unique without regard to case
    std::string name;                ///< field 1, as listed
    std::vector<std::string> fields; ///< one per title of the list (missing ones empty)
    std::string status;
    bool marked = false;
    bool downloadable = false; ///< a plain file name listed once: may be marked
};

/// What an update run did. Failures are never folded into success.
///
/// Completed: every marked database was tried, or none was marked ("Nothing to Do" was
/// shown; the summary is empty). Failed: the server was lost and the run ended there.
/// Stopped: Stop, between databases or inside a download. Refused: a refresh or another
/// run was going on; nothing was done. The problems are the databases left as they were
/// (path: the local file) with their reasons, then a lost server or a failed refresh.
struct UpdateReport : core::Outcome {
    std::vector<std::string> replaced;  ///< names now holding the downloaded database
    std::vector<std::string> failed;    ///< tried and left as they were
    std::vector<std::string> not_tried; ///< marked, left alone because the run ended early
};

/// The server's database list as a window shows it: the list's titles and "Status" as
/// columns, one row per database, marks on those that are new or out of date. Refreshing
/// and updating run on the caller's thread (a worker's, in a window) and block it; only
/// refreshing() and updating() may be asked from another thread meanwhile. Local
/// databases live in the databases folder of the application home.
class DatabaseList {
public:
    DatabaseList(ServerAddresses server, HttpClient client);

    const std::vector<std::string>& columns() const { return m_columns; }
    std::size_t status_column() const { return m_columns.empty() ? 0 : m_columns.size() - 1; }
    const std::vector<ListRow>& rows() const { return m_rows; }
    /// The text of a row in a column ("" past the row's fields).
    std::string_view cell(std::size_t row, std::size_t column) const;

    /// The row of `name`, found without regard to letter case.
    std::optional<std::size_t> find(std::string_view name) const;
    /// False (and no change) for a row that may not be downloaded.
    bool set_marked(std::size_t row, bool marked);
    void uncheck_all();
    std::size_t marked_count() const;

    /// Sorts by a column's text without regard to case; the same column again flips the
    /// order, another column sorts ascending. The sort holds across refreshes.
    void sort_by(std::size_t column);
    std::optional<std::size_t> sort_column() const { return m_sort_column; }
    bool sort_descending() const { return m_descending; }

    /// Rebuilds the list from the server's list.php. Refused at once (nothing changed)
    /// while a refresh or an update run is going on. On failure the list is emptied and
    /// "Cannot Connect to Server" shows the reason; Stop leaves the list as it was.
    core::Outcome refresh_list(core::Prompter& prompter, core::Progress& progress);

    /// Downloads each marked database beside its local file (name + ".zdb.tmp") and puts
    /// it in place when it reads as a database; a failed one is logged and the run goes
    /// on, a lost server ends it. Stop leaves the database being fetched as it was. Ends
    /// with a refresh of the list.
    UpdateReport update_marked(core::Prompter& prompter, core::Progress& progress);

    bool refreshing() const { return m_refreshing; }
    /// True while an update runs: a window refuses to close meanwhile.
    bool updating() const { return m_updating; }

private:
    core::Outcome refresh_now(core::Prompter& prompter, core::Progress& progress);
    core::Status rebuild(std::string_view body);
    void mark_by_local_versions();
    void apply_sort();
    /// Downloads and installs one row; false when the run ends here (end in `report`).
    bool update_one(const ListRow& row, UpdateReport& report, core::Progress& progress);
    /// After a run that ended early: what was left, the message, the new statuses.
    void stop_run(UpdateReport& report, const std::vector<ListRow>& marked,
                  core::Prompter& prompter, core::Progress& progress);
    /// The list fetched again once every marked database was tried.
    void refresh_after(UpdateReport& report, core::Prompter& prompter, core::Progress& progress);
    void show_replaced(const UpdateReport& report);

    ServerAddresses m_server;
    HttpClient m_client;
    std::vector<std::string> m_columns;
    std::vector<ListRow> m_rows;
    std::size_t m_version_column = 0;
    std::optional<std::size_t> m_sort_column;
    bool m_descending = false;
    std::atomic<bool> m_refreshing = false;
    std::atomic<bool> m_updating = false;
};

} // namespace update
