#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "commands.h"
#include "context.h"
#include "database_list.h"
#include "json_output.h"
#include "terminal_progress.h"

namespace cli {
namespace {

struct GetOptions {
    std::vector<std::string> names;
    bool marked = false;
    bool json = false; ///< of `update list`
};

update::DatabaseList server_list() {
    return update::DatabaseList(update::ServerAddresses(update::update_root()),
                                update::HttpClient(update::http_options_from_settings()));
}

int exit_code_of(const core::Outcome& outcome) {
    if (outcome.end == core::End::Stopped)
        return kExitInterrupted;
    return outcome.clean() ? kExitOk : kExitFileError;
}

// The list fetched for a command; false (exit code set) when it could not be.
bool refreshed(Context& ctx, update::DatabaseList& list, core::Prompter& prompter,
               TerminalProgress& progress) {
    const core::Outcome outcome = list.refresh_list(prompter, progress);
    if (outcome.completed())
        return true;
    // A failure was a message; a stop says only that.
    if (outcome.end == core::End::Stopped)
        for (const auto& problem : outcome.problems)
            ctx.error(problem.text());
    ctx.exit_code = exit_code_of(outcome);
    return false;
}

// Letters, not bytes, so that names with accents line up too.
std::size_t shown_width(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<std::size_t> column_widths(const update::DatabaseList& list) {
    std::vector<std::size_t> widths;
    for (const auto& title : list.columns())
        widths.push_back(shown_width(title));
    for (std::size_t r = 0; r < list.rows().size(); ++r)
        for (std::size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], shown_width(list.cell(r, c)));
    return widths;
}

// One line of the table: "* " before a marked row, the cells padded to their column.
void print_line(std::ostream& out, bool marked, const std::vector<std::string_view>& cells,
                const std::vector<std::size_t>& widths) {
    std::string line = marked ? "* " : "  ";
    for (std::size_t c = 0; c < cells.size(); ++c) {
        line += cells[c];
        if (c + 1 < cells.size())
            line += std::string(widths[c] - shown_width(cells[c]) + 2, ' ');
    }
    out << line << '\n';
}

void print_table(std::ostream& out, const update::DatabaseList& list) {
    const auto widths = column_widths(list);
    std::vector<std::string_view> cells(list.columns().begin(), list.columns().end());
    print_line(out, false, cells, widths);
    for (std::size_t r = 0; r < list.rows().size(); ++r) {
        for (std::size_t c = 0; c < cells.size(); ++c)
            cells[c] = list.cell(r, c);
        print_line(out, list.rows()[r].marked, cells, widths);
    }
    out << list.rows().size() << " databases on the server, " << list.marked_count()
        << " marked (*) as new or out of date\n";
}

// The table as JSON: each row's cells under their column titles, and its mark.
void print_table_json(std::ostream& out, const update::DatabaseList& list) {
    Json rows = Json::array();
    for (std::size_t r = 0; r < list.rows().size(); ++r) {
        Json row = Json::object();
        for (std::size_t c = 0; c < list.columns().size(); ++c)
            row[list.columns()[c]] = list.cell(r, c);
        row["marked"] = list.rows()[r].marked;
        rows.push_back(std::move(row));
    }
    print_json(out, {{"databases", std::move(rows)}, {"marked", list.marked_count()}});
}

void run_list(Context& ctx, bool json) {
    auto list = server_list();
    TerminalProgress progress(ctx);
    ScreenPrompter prompter(*ctx.prompter, progress);
    const bool fetched = refreshed(ctx, list, prompter, progress);
    progress.finish();
    if (fetched && json)
        print_table_json(ctx.out, list);
    else if (fetched)
        print_table(ctx.out, list);
}

// Marks exactly the databases named. The exit status a name that could not be marked
// gives: an unknown name is bad usage, as an unknown system is; one that may not be fetched
// is an item not carried out. kExitOk when every name was marked.
int mark_named(Context& ctx, update::DatabaseList& list, const std::vector<std::string>& names) {
    list.uncheck_all();
    int code = kExitOk;
    for (const auto& name : names) {
        auto row = list.find(name);
        if (!row) {
            ctx.error("the server lists no database '" + name + "'");
            code = kExitUsage;
        } else if (!list.set_marked(*row, true)) {
            ctx.error("'" + list.rows()[*row].name +
                      "' cannot be downloaded: " + list.rows()[*row].status);
            if (code == kExitOk)
                code = kExitFileError;
        }
    }
    return code;
}

void run_get(Context& ctx, const GetOptions& opt) {
    if (opt.names.empty() && !opt.marked) {
        ctx.error("name the databases to download, or give --marked for those the list marks");
        ctx.exit_code = kExitUsage;
        return;
    }
    auto list = server_list();
    TerminalProgress progress(ctx);
    ScreenPrompter prompter(*ctx.prompter, progress);
    if (!refreshed(ctx, list, prompter, progress))
        return;
    const int naming = opt.marked ? kExitOk : mark_named(ctx, list, opt.names);
    if (naming != kExitOk && list.marked_count() == 0) {
        ctx.exit_code = naming;
        return;
    }
    const update::UpdateReport report = list.update_marked(prompter, progress);
    if (std::string_view summary = report.summary; !summary.empty())
        progress.print_line(summary.substr(0, summary.size() - 1)); // its line end is ours
    progress.finish();
    ctx.exit_code = naming != kExitOk ? naming : exit_code_of(report);
}

} // namespace

Command add_update_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("update", "List the server's databases and download them");
    sub->require_subcommand(1);
    auto* list_sub = sub->add_subcommand(
        "list", "Show the server's databases; * marks those that are new or out of date");
    auto* get_sub = sub->add_subcommand("get", "Download databases from the server");
    get_sub->footer("A database replaces the local one only when it reads as a database. "
                    "Exit status 1 when any could not be downloaded.");
    auto opt = std::make_shared<GetOptions>();
    auto* names = get_sub->add_option("NAME", opt->names,
                                      "Databases as the list names them (any letter case)");
    get_sub->add_flag("--marked", opt->marked, "Those the list marks as new or out of date")
        ->excludes(names);
    list_sub->add_flag("--json", opt->json, "Print the list as JSON");
    Command check = add_update_check_command(*sub, ctx);
    return {sub, [&ctx, list_sub, get_sub, opt, check] {
                if (list_sub->parsed())
                    run_list(ctx, opt->json);
                else if (get_sub->parsed())
                    run_get(ctx, *opt);
                else if (check.sub->parsed())
                    check.run();
            }};
}

} // namespace cli
