#include <CLI/CLI.hpp>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "interrupt.h"
#include "news.h"

namespace cli {
namespace {

// The command line's viewer is the terminal: the file is printed with line feeds.
class PrintingViewer final : public update::TextViewer {
public:
    explicit PrintingViewer(std::ostream& out) : m_out(out) {}

    bool show(const std::filesystem::path& file) override {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return false;
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string lines;
        lines.reserve(text.size() + 1);
        for (std::size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                lines += text[i];
        if (!lines.empty() && lines.back() != '\n')
            lines += '\n';
        m_out << lines << std::flush;
        return static_cast<bool>(m_out);
    }

private:
    std::ostream& m_out;
};

update::NewsClient news_client(const Context& ctx) {
    auto options = update::http_options_from_settings();
    options.cancelled = interrupted;
    return update::NewsClient(update::ServerAddresses(update::update_root()),
                              update::HttpClient(std::move(options)), ctx.home);
}

void news(Context& ctx) {
    PrintingViewer viewer(ctx.out);
    if (auto shown = news_client(ctx).read_news(viewer, *ctx.prompter); !shown) {
        ctx.error(shown.error().message);
        ctx.exit_code = kExitFileError;
    }
}

// Quiet by design: a login script may run it, and only news that changed is printed.
void auto_news(Context& ctx) {
    PrintingViewer viewer(ctx.out);
    update::AutoNewsOnce once(news_client(ctx));
    if (once.on_activation(viewer) != update::AutoNewsRun::Ran)
        return;
    if (once.last() == update::AutoNews::Failed) {
        ctx.error(once.reason());
        ctx.exit_code = interrupted() ? kExitInterrupted : kExitFileError;
    }
}

} // namespace

Command add_news_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("news", "Shows the update server's news");
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
