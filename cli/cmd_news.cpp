#include <CLI/CLI.hpp>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "news.h"
#include "read_file.h"
#include "terminal_progress.h"
#include "text.h"

namespace cli {
namespace {

// The command line's viewer is the terminal: the file is printed with line feeds, with
// the progress bar off the screen.
class PrintingViewer final : public update::TextViewer {
public:
    PrintingViewer(std::ostream& out, TerminalProgress& progress)
        : m_out(out), m_progress(progress) {}

    bool show(const std::filesystem::path& file) override {
        m_progress.clear_bar();
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return false;
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        std::string lines = core::with_line_feeds(core::without_bom(text));
        if (!lines.empty() && lines.back() != '\n')
            lines += '\n';
        m_out << lines << std::flush;
        return static_cast<bool>(m_out);
    }

private:
    std::ostream& m_out;
    TerminalProgress& m_progress;
};

// A news command that did not complete: why, and its exit code.
void report_not_done(Context& ctx, const core::Outcome& outcome) {
    if (outcome.completed())
        return;
    for (const auto& problem : outcome.problems)
        ctx.error(problem.text());
    ctx.exit_code = outcome.end == core::End::Stopped ? kExitInterrupted : kExitFileError;
}

void news(Context& ctx) {
    TerminalProgress progress(ctx);
    ScreenPrompter prompter(*ctx.prompter, progress);
    PrintingViewer viewer(ctx.out, progress);
    const core::Outcome outcome =
        update::NewsClient::for_home(ctx.home).read_news(viewer, prompter, progress);
    progress.finish();
    report_not_done(ctx, outcome);
}

// Quiet by design: a login script may run it, and only news that changed is printed.
void auto_news(Context& ctx) {
    TerminalProgress progress(ctx);
    PrintingViewer viewer(ctx.out, progress);
    update::AutoNewsOnce once(update::NewsClient::for_home(ctx.home));
    const bool ran = once.on_activation(viewer, progress) == update::AutoNewsRun::Ran;
    progress.finish();
    if (ran)
        report_not_done(ctx, once.last());
}

} // namespace

Command add_news_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("news", "Show the update server's news");
    sub->footer("The news is kept as news.txt in the home. With --auto the automatic news "
                "(newsauto.txt) is printed only when its first line differs from LastNews in "
                "the settings file; LastNews then takes that line, so the same news is printed "
                "once. --auto does nothing while CheckForNews is not 1, and on failure it shows "
                "no message (exit status 1).");
    auto automatic = std::make_shared<bool>(false);
    sub->add_flag("--auto", *automatic,
                  "The automatic news, only when it changed (writes LastNews)");
    return {sub, [&ctx, automatic] { *automatic ? auto_news(ctx) : news(ctx); }};
}

} // namespace cli
