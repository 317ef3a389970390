// libFuzzer target for the server's news: the first line kept as a setting, and the
// automatic news shown once, never again for the same text.
#include <filesystem>

#include "fuzz_server.h"
#include "news.h"
#include "recorders.h"

using fuzzing::check;

namespace {

struct CountingViewer final : update::TextViewer {
    bool show(const std::filesystem::path&) override {
        ++shown;
        return true;
    }
    int shown = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::ServedInput served;
    const std::string_view text = fuzzing::text_of(data, size);
    served.serve(text);
    const std::string line = update::news_first_line(text);
    check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    check(text.starts_with(line));

    const auto settings = fuzzing::scratch_folder() / "zelkon.ini";
    std::error_code ignored;
    std::filesystem::remove(settings, ignored);
    const update::NewsClient client(served.addresses(), served.http(), fuzzing::scratch_folder(),
                                    settings);
    CountingViewer viewer;
    testsupport::RecordingProgress progress;
    const auto first = client.check_for_auto_news(viewer, progress);
    check(first.completed() || !first.problems.empty());
    if (!first.completed() || !first.shown)
        return 0;
    const auto second = client.check_for_auto_news(viewer, progress);
    check(second.completed() && !second.shown && viewer.shown == 1);
    return 0;
}
