#include <CLI/CLI.hpp>

#include "commands.h"
#include "context.h"
#include "dry_run.h"
#include "sort_engine.h"
#include "text.h"

namespace cli {
namespace {

struct SortOptions {
    std::string system;
    std::string folder;
    bool dry_run = false;
};

using Engine = sorting::SortReport (*)(const sorting::SortJob&, core::Prompter&, core::Progress&,
                                       core::BatchRunner&);

// A dry run changes nothing: its "go ahead?" needs no --yes. Other messages are shown.
class DryRunConfirmation final : public core::Prompter {
public:
    explicit DryRunConfirmation(core::Prompter& next) : m_next(next) {}
    core::Answer ask(const core::Message& message) override {
        if (message.buttons == core::Message::Buttons::YesNo)
            return core::Answer::Yes;
        return m_next.ask(message);
    }

private:
    core::Prompter& m_next;
};

int exit_code_of(const core::Outcome& outcome) {
    switch (outcome.end) {
    case core::End::Completed:
        return outcome.failures() == 0 ? kExitOk : kExitFileError;
    case core::End::Stopped:
        return kExitInterrupted;
    case core::End::Refused:
    case core::End::Failed:
        break;
    }
    return kExitFileError;
}

void sort_or_unsort(Context& ctx, const SortOptions& opt, const std::string& verb, Engine engine) {
    auto target = folder_target(ctx, opt.system, opt.folder);
    if (!target)
        return;
    sorting::SortJob job{target->folder, target->system.id, core::file_filter(target->system),
                         ctx.home / "sort.ini"};
    FileRun run(ctx, {opt.dry_run, false, target->describe(verb)});
    DryRunConfirmation dry_run_confirmation(run.prompter());
    core::Prompter& prompter = opt.dry_run ? dry_run_confirmation : run.prompter();
    auto report = engine(job, prompter, run.progress(), run.runner());
    run.progress().finish();
    ctx.out << report.outcome.summary;
    ctx.exit_code = exit_code_of(report.outcome);
    if (report.declined)
        hint_when_declined_by_default(ctx,
                                      "nothing done; add --yes to answer the question with yes");
}

Command add_command(CLI::App& app, Context& ctx, const std::string& verb, const std::string& help,
                    const std::string& details, Engine engine) {
    auto* sub = app.add_subcommand(verb, help);
    sub->footer(details + " Only files that match the system's patterns or *.zip are taken. "
                          "The engine asks first: give --yes to go ahead (a dry run needs none). --dry-run "
                          "prints one line per planned move (move 'FROM' -> 'TO') instead of moving. A real "
                          "run can be undone with: zelkon-cli undo");
    auto opt = std::make_shared<SortOptions>();
    sub->add_option("--system", opt->system, "The system id (see: zelkon-cli systems)")->required();
    sub->add_option("DIR", opt->folder, "The folder to " + verb + " (default: the current one)");
    sub->add_flag("--dry-run", opt->dry_run, "List what would be moved; change nothing");
    return {sub, [&ctx, opt, verb, engine] { sort_or_unsort(ctx, *opt, verb, engine); }};
}

} // namespace

Command add_sort_command(CLI::App& app, Context& ctx) {
    return add_command(app, ctx, "sort", "Move the files of DIR into category sub-folders",
                       "Each file goes into the sub-folder of the first rule of sort.ini (in the "
                       "home) whose text its name contains; a file whose target exists stays.",
                       sorting::sort_roms);
}

Command add_unsort_command(CLI::App& app, Context& ctx) {
    return add_command(app, ctx, "unsort", "Move the files of DIR's sub-folders back up",
                       "The files of all sub-folders, at any depth, come up into DIR; a file "
                       "whose name is already taken there stays.",
                       sorting::unsort_roms);
}

} // namespace cli
