// stop_copy_probe --from DIR --to DIR [--mib N] [--runs R] [--move]: times how long a run
// takes to end after Stop while the batch executor copies one large file from DIR to DIR
// (two file systems, so that the copy goes by chunks). Each run starts a fresh copy on a
// worker thread, as a window would, presses Stop once the copy has reached a point (a tenth,
// half, nine tenths of the file, in turn) and measures from the press to the return of the
// batch. Prints one line per run and the median and worst times; exits 1 when a run did not
// end stopped or left a part file or a target behind.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "batch_executor.h"
#include "progress.h"
#include "undo_journal.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

/// The Stop button and the byte count, shared between the worker and the main thread.
class Button final : public core::Progress {
public:
    void status(std::string_view) override {}
    void log(std::string_view) override {}
    void step(std::size_t, std::size_t) override {}
    void bytes(std::uint64_t done, std::uint64_t) override { copied.store(done); }
    bool stop_requested() const override { return stop.load(); }

    std::atomic<std::uint64_t> copied{0};
    std::atomic<bool> stop{false};
};

struct Options {
    fs::path from, to;
    std::uint64_t mib = 1024;
    int runs = 9;
    bool move = false;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--move")
            o.move = true;
        else if (arg == "--from" && has_value)
            o.from = argv[++i];
        else if (arg == "--to" && has_value)
            o.to = argv[++i];
        else if (arg == "--mib" && has_value)
            o.mib = std::stoull(argv[++i]);
        else if (arg == "--runs" && has_value)
            o.runs = std::stoi(argv[++i]);
        else
            return false;
    }
    return !o.from.empty() && !o.to.empty() && o.mib > 0 && o.runs > 0;
}

// A source that is not all zeros, written once and then read from the page cache.
bool make_source(const fs::path& path, std::uint64_t mib) {
    std::vector<char> chunk(1 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 131 + 7);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = true;
    for (std::uint64_t i = 0; i < mib && ok; ++i)
        ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    return std::fclose(f) == 0 && ok;
}

bool part_file_left(const fs::path& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().starts_with(".zelkon-copy-"))
            return true;
    return false;
}

struct RunResult {
    double stop_to_end_ms = 0;
    std::uint64_t copied_at_stop = 0;
    bool clean = false;
};

// One copy, stopped once `at` bytes are through.
RunResult run_once(const Options& o, const fs::path& source, const fs::path& work,
                   std::uint64_t at) {
    const fs::path target = o.to / "stop-probe-target.bin";
    core::UndoJournal journal(work / "undo.journal", "stop_copy_probe");
    Button button;
    core::BatchExecutor executor({nullptr, &journal, core::ConflictPolicy::Skip, {}, &button});
    core::Batch batch{
        o.move ? core::BatchOp::Move : core::BatchOp::Copy, {source.string()}, {target.string()}};
    core::BatchOutcome outcome;
    Clock::time_point ended;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        outcome = executor.run(batch);
        ended = Clock::now();
        finished.store(true);
    });
    while (button.copied.load() < at && !finished.load())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const std::uint64_t copied = button.copied.load();
    const Clock::time_point pressed = Clock::now();
    button.stop.store(true);
    worker.join();
    RunResult r;
    r.stop_to_end_ms = std::chrono::duration<double, std::milli>(ended - pressed).count();
    r.copied_at_stop = copied;
    r.clean = outcome.stopped && !fs::exists(target) && fs::exists(source) && !part_file_left(o.to);
    fs::remove(work / "undo.journal");
    return r;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: stop_copy_probe --from DIR --to DIR [--mib N] [--runs R] [--move]\n");
        return 2;
    }
    const fs::path work = o.from / ("stop-probe-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const fs::path source = work / "source.bin";
    if (!make_source(source, o.mib)) {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return 2;
    }
    const std::uint64_t total = o.mib << 20;
    const double points[] = {0.1, 0.5, 0.9};
    std::vector<double> times;
    bool all_clean = true;
    for (int i = 0; i < o.runs; ++i) {
        const double point = points[i % 3];
        const RunResult r = run_once(
            o, source, work, static_cast<std::uint64_t>(point * static_cast<double>(total)));
        std::printf("run %d: Stop at %5.1f%% (%6.1f MiB copied): ended after %7.2f ms%s\n", i + 1,
                    point * 100, static_cast<double>(r.copied_at_stop) / (1 << 20),
                    r.stop_to_end_ms, r.clean ? "" : "  NOT CLEAN");
        times.push_back(r.stop_to_end_ms);
        all_clean = all_clean && r.clean;
    }
    fs::remove_all(work);
    std::sort(times.begin(), times.end());
    std::printf(
        "stop to end (ms): median %.2f  worst %.2f  over %zu runs of %llu MiB %s %s -> %s\n",
        times[times.size() / 2], times.back(), times.size(), static_cast<unsigned long long>(o.mib),
        o.move ? "move" : "copy", o.from.c_str(), o.to.c_str());
    return all_clean ? 0 : 1;
}
