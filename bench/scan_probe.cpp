// scan_probe --run-on DIR [--by checksum|filename] [--cache FILE] [--threads T] [--steps]:
// one collection scan of DIR/roms against DIR/BENCH.zdb (a tree left by
// `rename_probe --make-only`), timed inside the process, so neither the program's start nor
// the printing of the lists counts. With --steps the time at which each status text
// arrives is printed too, which tells where a scan spends its time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "collection_scan.h"
#include "progress.h"
#include "prompter.h"
#include "services.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Steps final : public core::Progress {
public:
    explicit Steps(bool shown) : m_shown(shown) {}
    void status(std::string_view text) override {
        if (m_shown)
            std::printf("%8.4f s  %.*s\n", since(m_start), static_cast<int>(text.size()),
                        text.data());
    }
    void log(std::string_view) override {}
    void step(std::size_t, std::size_t) override {}

private:
    bool m_shown;
    Clock::time_point m_start = Clock::now();
};

int usage_error() {
    std::fprintf(stderr, "usage: scan_probe --run-on DIR [--by checksum|filename] "
                         "[--cache FILE] [--threads T] [--steps]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir, cache_file;
    lists::MatchBy by = lists::MatchBy::Checksum;
    unsigned threads = 0;
    bool steps = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--run-on") == 0 && i + 1 < argc)
            dir = argv[++i];
        else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc)
            cache_file = argv[++i];
        else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            threads = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--by") == 0 && i + 1 < argc)
            by = std::strcmp(argv[++i], "filename") == 0 ? lists::MatchBy::Filename
                                                         : lists::MatchBy::Checksum;
        else if (std::strcmp(argv[i], "--steps") == 0)
            steps = true;
        else
            return usage_error();
    }
    if (dir.empty())
        return usage_error();
    auto services = core::Services::open(
        {.home = dir, .use_cache = !cache_file.empty(), .cache_file = cache_file});
    if (!services) {
        std::fprintf(stderr, "%s\n", services.error().message.c_str());
        return 1;
    }
    Steps progress(steps);
    core::SystemEntry system{"Benchmark", "BENCH", "*.bin", dir + "/BENCH.zdb"};

    auto start = Clock::now();
    lists::ScanJob job{system, dir + "/roms/", by, {}, threads, nullptr};
    auto result = lists::scan_collection(job, *services, core::silent_prompter(), progress);
    services->close_cache(); // the cache file opens during the scan and is committed here
    double seconds = since(start);
    if (!result) {
        std::fprintf(stderr, "%s\n", result.error().message.c_str());
        return 1;
    }
    std::printf("matched %zu  missing %zu  unrecognized %zu\n", result->matched, result->missing,
                result->unrecognized);
    std::printf("time %.4f s\n", seconds);
    return 0;
}
