// rename_probe --files N [--threads T] [--make-only DIR]: builds a flat folder of N ROM
// files of 64 KiB and a database that knows most of them, then times one rename run of the
// engine with the real batch executor and undo journal, and prints the time per file and
// the peak memory. Of the files, half get renamed, three tenths already bear their name, a
// tenth are duplicates (moved to a dupe folder) and a tenth are unknown (moved aside).
//
// With --make-only the folder is left in DIR (ROMs in DIR/roms) and nothing is timed, so a
// script can time other tools on the same tree. With --cache FILE the run keeps CRC texts in
// that checksum cache; its closing commit is part of the time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_set>

#include <sys/resource.h>
#include <unistd.h>

#include "batch_executor.h"
#include "bench_names.h"
#include "progress.h"
#include "prompter.h"
#include "rename_engine.h"
#include "rom_forge.h"
#include "services.h"
#include "temp_dir.h"
#include "undo_journal.h"
#include "zdb_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRomSize = 64 * 1024;

using benchdata::entry_crc;
using benchdata::entry_name;

struct Tree {
    fs::path db;
    std::string roms, dupes, unknown;
};

Tree tree_in(const fs::path& root) {
    return {root / "BENCH.zdb", (root / "roms").string() + "/", (root / "dupes").string() + "/",
            (root / "unknown").string() + "/"};
}

Tree make_tree(const fs::path& root, std::size_t files) {
    Tree t = tree_in(root);
    for (const auto& d : {t.roms, t.dupes, t.unknown})
        fs::create_directories(d);
    core::RomTable entries;
    std::unordered_set<std::uint32_t> known;
    for (std::size_t i = 0; i < files; ++i) {
        entries.push_back(testsupport::rom_entry(entry_crc(i), entry_name(i)));
        known.insert(entry_crc(i));
    }
    core::ZdbHeader h;
    h.system_id = "BENCH";
    h.long_name = "Benchmark";
    h.version = "1";
    h.patterns = "*.bin";
    if (!core::write_zdb(t.db, 3, h, entries))
        std::exit(1);
    std::uint32_t unknown_crc = 1;
    for (std::size_t i = 0; i < files; ++i) {
        std::uint32_t crc = entry_crc(i);
        std::string name = "dump_" + std::to_string(i) + ".bin";
        switch (i % 10) {
        case 5:
        case 6:
        case 7:
            name = entry_name(i) + ".bin";
            break;
        case 8:
            crc = entry_crc(i - 8);
            break; // the same ROM as a file to be renamed
        case 9:
            while (known.count(unknown_crc))
                ++unknown_crc;
            crc = unknown_crc++;
            break;
        default:
            break;
        }
        testsupport::write_file(t.roms + name, testsupport::rom_with_crc(kRomSize, crc, crc));
    }
    return t;
}

// Shows nothing; with --steps, prints the time at which each log text arrives, which
// tells where a run spends its time.
class Quiet final : public core::Progress {
public:
    explicit Quiet(bool steps) : m_steps(steps) {}
    void status(std::string_view) override {}
    void log(std::string_view text) override {
        if (m_steps)
            std::printf(
                "%8.3f s  %.*s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(),
                static_cast<int>(std::min<std::size_t>(text.size(), 40)), text.data());
    }
    void step(std::size_t, std::size_t) override {}

private:
    bool m_steps;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Carries out nothing: with --plan-only the run measures identification and planning alone.
class PlanOnly final : public core::BatchRunner {
public:
    core::BatchOutcome run(const core::Batch& batch) override {
        return {
            std::vector<core::ItemResult>(batch.from.size(), core::ItemResult::Done), {}, false};
    }
};

double rss_mib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int usage_error() {
    std::fprintf(stderr, "usage: rename_probe --files N [--threads T] [--steps] [--plan-only] "
                         "[--cache FILE] [--make-only DIR | --run-on DIR]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t files = 20000;
    unsigned threads = 0;
    std::string make_only;
    bool steps = false;
    bool plan_only = false;
    std::string run_on;
    std::string cache_file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc)
            files = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            threads = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--run-on") == 0 && i + 1 < argc)
            run_on = argv[++i];
        else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc)
            cache_file = argv[++i];
        else if (std::strcmp(argv[i], "--plan-only") == 0)
            plan_only = true;
        else if (std::strcmp(argv[i], "--steps") == 0)
            steps = true;
        else if (std::strcmp(argv[i], "--make-only") == 0 && i + 1 < argc)
            make_only = argv[++i];
        else
            return usage_error();
    }
    if (files < 10)
        return usage_error();
    if (!make_only.empty()) {
        make_tree(make_only, files);
        return 0;
    }

    testsupport::TempDir dir;
    // --run-on takes a tree left by --make-only, so a profiler sees only the run.
    Tree tree = run_on.empty() ? make_tree(dir.path(), files) : tree_in(run_on);
    ::sync(); // nothing left to write back while the clock runs
    auto services = core::Services::open({dir.path() / "home",
                                          {},
                                          !cache_file.empty(),
                                          cache_file.empty() ? fs::path() : fs::path(cache_file)});
    if (!services) {
        std::fprintf(stderr, "%s\n", services.error().message.c_str());
        return 1;
    }
    const double baseline = rss_mib();

    renaming::RenameSettings settings;
    settings.move_dupes = true;
    settings.dupe_folder = tree.dupes;
    settings.move_unrecognized = true;
    settings.unrecognized_folder = tree.unknown;
    core::UndoJournal journal(dir.path() / "undo.journal", "rename BENCH");
    core::ExecutorOptions options;
    options.prompter = &core::silent_prompter();
    options.journal = &journal;
    options.on_conflict = core::ConflictPolicy::Skip;
    options.zelcore = &services->zelcore();
    core::BatchExecutor executor(options);
    Quiet progress(steps);
    PlanOnly planner;
    core::BatchRunner& runner = plan_only ? static_cast<core::BatchRunner&>(planner) : executor;
    renaming::RenameContext context{*services, core::silent_prompter(), progress, runner};
    core::SystemEntry system{"Benchmark", "BENCH", "*.bin", tree.db};

    auto start = std::chrono::steady_clock::now();
    auto report = renaming::rename_roms({system, tree.roms, settings, threads, nullptr}, context);
    services->close_cache();
    for (const auto& notice : services->take_notices())
        std::fprintf(stderr, "%s\n", notice.c_str());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("files %zu  renamed-or-moved %zu  named %zu  dupes %zu  unknown %zu  "
                "not-carried-out %zu\n",
                report.files, report.files - report.already_named - report.unrecognized,
                report.already_named, report.dupes, report.unrecognized, report.not_carried_out);
    std::printf("time %.3f s  per file %.2f us  peak RSS %.1f MiB (baseline %.1f MiB)\n", seconds,
                seconds * 1e6 / static_cast<double>(files), rss_mib(), baseline);
    return report.completed() && report.not_carried_out == 0 ? 0 : 1;
}
