#include "database_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "database_file.h"
#include "read_file.h"
#include "text.h"
#include "zdb.h"

namespace update {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kVersionTitle = "Version";
constexpr std::string_view kStatusTitle = "Status";

// Clears a flag however the scope ends.
class FlagScope {
public:
    explicit FlagScope(std::atomic<bool>& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    std::atomic<bool>& m_flag;
};

std::string quoted_url(std::string_view url) {
    return "'" + std::string(url) + "'";
}

// Lines end with CR LF; a bare LF is taken too, and empty lines describe nothing. A list
// saved by a desktop editor may start with a byte-order mark.
std::vector<std::string> body_lines(std::string_view body) {
    std::vector<std::string> lines;
    for (body = core::without_bom(body); !body.empty();)
        if (const std::string_view line = core::take_line(body); !line.empty())
            lines.emplace_back(line);
    return lines;
}

core::Message cannot_connect(const std::string& reason) {
    return {reason, "Cannot Connect to Server", core::Message::Icon::Exclamation,
            core::Message::Buttons::Ok};
}

core::Message nothing_to_do() {
    return {"You need to checkmark the ZDBs that you want to download.", "Nothing to Do",
            core::Message::Icon::Information, core::Message::Buttons::Ok};
}

// The status and mark of a downloadable row from its local file and the listed version.
void set_status_from_local(ListRow& row, std::string_view server_version) {
    const fs::path local = local_database_path(row.name);
    std::error_code ec;
    if (!fs::exists(local, ec)) {
        row.status = kStatusNew;
        row.marked = true;
        return;
    }
    const bool current = core::read_zdb_version(local) == server_version;
    row.status = current ? kStatusCurrent : kStatusUpdate;
    row.marked = !current;
}

std::string progress_line(std::string_view name, std::size_t done, std::size_t total) {
    return "Downloading " + std::string(name) + ".zdb (" + std::to_string(done) + " of " +
           std::to_string(total) + ")";
}

core::Outcome busy() {
    return {core::End::Refused,
            {core::Problem::line("the database list is being refreshed or updated already")},
            {}};
}

core::Outcome stopped_or_failed(const core::Error& error) {
    const bool stopped = error.code == core::Error::Code::Cancelled;
    return {
        stopped ? core::End::Stopped : core::End::Failed, {core::Problem::line(error.message)}, {}};
}

// "Downloaded 1 of 3 databases; 1 failed; 1 not tried."
std::string summary_of(const UpdateReport& report) {
    const std::size_t marked =
        report.replaced.size() + report.failed.size() + report.not_tried.size();
    std::string text = "Downloaded " + std::to_string(report.replaced.size()) + " of " +
                       std::to_string(marked) + " databases";
    if (!report.failed.empty())
        text += "; " + std::to_string(report.failed.size()) + " failed";
    if (!report.not_tried.empty())
        text += "; " + std::to_string(report.not_tried.size()) + " not tried";
    return text + ".\n";
}

} // namespace

DatabaseList::DatabaseList(ServerAddresses server, HttpClient client)
    : m_server(std::move(server)), m_client(std::move(client)) {}

std::string_view DatabaseList::cell(std::size_t row, std::size_t column) const {
    const ListRow& r = m_rows.at(row);
    if (column == status_column())
        return r.status;
    return column < r.fields.size() ? std::string_view(r.fields[column]) : std::string_view();
}

std::optional<std::size_t> DatabaseList::find(std::string_view name) const {
    const std::string wanted = core::fold_case(name);
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (core::fold_case(m_rows[i].name) == wanted)
            return i;
    return std::nullopt;
}

bool DatabaseList::set_marked(std::size_t row, bool marked) {
    ListRow& r = m_rows.at(row);
    if (marked && !r.downloadable)
        return false;
    r.marked = marked;
    return true;
}

void DatabaseList::uncheck_all() {
    for (ListRow& row : m_rows)
        row.marked = false;
}

std::size_t DatabaseList::marked_count() const {
    return static_cast<std::size_t>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const ListRow& r) { return r.marked; }));
}

void DatabaseList::sort_by(std::size_t column) {
    if (column >= m_columns.size())
        return;
    m_descending = m_sort_column == column ? !m_descending : false;
    m_sort_column = column;
    apply_sort();
}

void DatabaseList::apply_sort() {
    if (!m_sort_column || *m_sort_column >= m_columns.size())
        return;
    const std::size_t column = *m_sort_column;
    std::vector<std::size_t> order(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int c = core::compare_lower(cell(a, column), cell(b, column));
        return m_descending ? c > 0 : c < 0;
    });
    std::vector<ListRow> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(m_rows[i]));
    m_rows = std::move(sorted);
}

core::Outcome DatabaseList::refresh_list(core::Prompter& prompter, core::Progress& progress) {
    if (m_refreshing || m_updating)
        return busy();
    return refresh_now(prompter, progress);
}

// The list is read into memory: it is small (the body cap) and never needs a file.
core::Outcome DatabaseList::refresh_now(core::Prompter& prompter, core::Progress& progress) {
    FlagScope guard(m_refreshing);
    auto body = m_client.get_text(encode_spaces(m_server.list()), progress, kSmallBodyCap);
    core::Status status = body ? rebuild(*body) : core::Status(body.error());
    if (status)
        return {};
    core::Outcome outcome = stopped_or_failed(status.error());
    if (outcome.end == core::End::Failed) {
        m_columns.clear();
        m_rows.clear();
        prompter.ask(cannot_connect(status.error().message));
    }
    return outcome;
}

core::Status DatabaseList::rebuild(std::string_view body) {
    const std::vector<std::string> lines = body_lines(body);
    if (lines.empty())
        return core::Error::bad_input("the database list " + quoted_url(m_server.list()) +
                                      " is empty");
    std::vector<std::string> titles = core::split_list(lines.front(), '\t');
    const auto version = std::find(titles.begin(), titles.end(), kVersionTitle);
    if (version == titles.end())
        return core::Error::bad_input("the database list " + quoted_url(m_server.list()) +
                                      " has no column titled \"Version\"");
    m_version_column = static_cast<std::size_t>(version - titles.begin());

    std::vector<ListRow> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ListRow row;
        row.fields = core::split_list(lines[i], '\t');
        // A line has at most as many fields as there are titles; more would have no column.
        row.fields.resize(titles.size());
        row.name = row.fields.front();
        row.key = "id_" + row.name;
        rows.push_back(std::move(row));
    }
    m_columns = std::move(titles);
    m_columns.emplace_back(kStatusTitle);
    m_rows = std::move(rows);
    mark_by_local_versions();
    apply_sort();
    return core::Status::success();
}

void DatabaseList::mark_by_local_versions() {
    std::unordered_set<std::string> seen;
    for (ListRow& row : m_rows) {
        row.marked = false;
        row.downloadable = false;
        if (!seen.insert(core::fold_case(row.name)).second)
            row.status = kStatusDuplicate;
        else if (!is_plain_file_name(row.name))
            row.status = kStatusUnsafe;
        else {
            row.downloadable = true;
            set_status_from_local(row, row.fields[m_version_column]);
        }
    }
}

UpdateReport DatabaseList::update_marked(core::Prompter& prompter, core::Progress& progress) {
    UpdateReport report;
    if (m_refreshing || m_updating) {
        static_cast<core::Outcome&>(report) = busy();
        return report;
    }
    FlagScope guard(m_updating);
    std::vector<ListRow> marked;
    for (const ListRow& row : m_rows)
        if (row.marked && row.downloadable)
            marked.push_back(row);
    if (marked.empty()) {
        prompter.ask(nothing_to_do());
        return report;
    }
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (progress.stop_requested()) {
            report.end = core::End::Stopped;
            break;
        }
        progress.step(i + 1, marked.size());
        progress.status(progress_line(marked[i].name, i + 1, marked.size()));
        if (!update_one(marked[i], report, progress))
            break;
    }
    if (report.end == core::End::Completed)
        refresh_after(report, prompter, progress);
    else
        stop_run(report, marked, prompter, progress);
    report.summary = summary_of(report);
    return report;
}

void DatabaseList::refresh_after(UpdateReport& report, core::Prompter& prompter,
                                 core::Progress& progress) {
    core::Outcome refreshed = refresh_now(prompter, progress);
    if (refreshed.end == core::End::Stopped) {
        // The rows stay as they were: only the databases put in place change.
        report.end = core::End::Stopped;
        show_replaced(report);
        return;
    }
    report.problems.insert(report.problems.end(), refreshed.problems.begin(),
                           refreshed.problems.end());
}

bool DatabaseList::update_one(const ListRow& row, UpdateReport& report, core::Progress& progress) {
    using Code = core::Error::Code;
    const fs::path local = local_database_path(row.name);
    fs::path download = local;
    download += ".tmp";
    std::error_code ec;
    fs::create_directories(local.parent_path(), ec);
    // A leftover download, or a link planted under its name, is never written through.
    fs::remove(download, ec);
    const std::string url = encode_spaces(m_server.database_file(row.name));
    core::Status status = m_client.get_file(url, download, progress, kDatabaseBodyCap);
    // Failed covers a dead server and a transfer gone wrong on a live one; only the
    // first ends the run.
    core::Status reached = core::Status::success();
    if (!status && status.error().code == Code::Failed)
        reached = m_client.probe(url, progress);
    if (!status && status.error().code == Code::Cancelled)
        reached = status;
    if (!reached) {
        // A stop during the probe is a stop; only a server that did not answer is lost.
        const core::Outcome ended = stopped_or_failed(reached.error());
        report.end = ended.end;
        if (ended.end == core::End::Failed)
            report.problems.push_back(core::Problem::line(status.error().message));
        return false;
    }
    if (status)
        status = install_database(download, local, true);
    if (!status) {
        report.failed.push_back(row.name);
        report.problems.push_back(
            {local.string(), "Could not update " + row.name, status.error().message});
        progress.result(report.problems.back().text() + "\r\n");
        return true;
    }
    report.replaced.push_back(row.name);
    progress.result("Updated " + row.name + " (version " + core::read_zdb_version(local) + ")\r\n");
    return true;
}

void DatabaseList::stop_run(UpdateReport& report, const std::vector<ListRow>& marked,
                            core::Prompter& prompter, core::Progress& progress) {
    for (std::size_t i = report.replaced.size() + report.failed.size(); i < marked.size(); ++i)
        report.not_tried.push_back(marked[i].name);
    if (report.end == core::End::Failed)
        prompter.ask(cannot_connect(report.problems.back().text()));
    else
        progress.result("The update was stopped; " + std::to_string(report.not_tried.size()) +
                     " marked databases were left as they were.\r\n");
    // The server is gone or the user wants to stop: the list is not fetched again.
    show_replaced(report);
}

// The databases put in place get their new status.
void DatabaseList::show_replaced(const UpdateReport& report) {
    for (const std::string& name : report.replaced)
        if (auto row = find(name))
            set_status_from_local(m_rows[*row], m_rows[*row].fields[m_version_column]);
}

} // namespace update
