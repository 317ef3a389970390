// Matching a hashed collection against its database and building the result tree: the
// part of a scan that grows with both sizes. Files are twice the entries: three in five
// stand for an entry (some as second copies), the rest are unknown.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_names.h"
#include "crc_text.h"
#include "matching.h"
#include "progress.h"

namespace {

using benchdata::entry_crc;
using benchdata::entry_name;

struct Collection {
    core::RomTable roms;
    lists::ScanRecords records;
};

Collection make_collection(std::size_t entries) {
    Collection c;
    c.roms.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        core::RomEntry rom;
        rom.crc = core::CrcText::from_value(entry_crc(i));
        rom.name = entry_name(i);
        c.roms.push_back(std::move(rom));
    }
    for (std::size_t i = 0; i < 2 * entries; ++i) {
        bool known = i % 5 < 3;
        std::size_t entry = known ? (i / 5 * 3 + i % 5) % entries : entries + i;
        auto name = known ? entry_name(entry) : "unknown dump " + std::to_string(i);
        auto crc = core::CrcText::from_value(entry_crc(entry)).str();
        c.records.push_back({crc, name, "/roms/collection/" + name + ".bin", false, false});
    }
    return c;
}

void match_and_build(benchmark::State& state, lists::MatchBy by, bool build = true) {
    const auto entries = static_cast<std::size_t>(state.range(0));
    const Collection original = make_collection(entries);
    for (auto _ : state) {
        state.PauseTiming();
        Collection c = original;
        lists::ScanResult result;
        state.ResumeTiming();
        result.records = std::move(c.records);
        lists::sort_records(result.records, by);
        lists::match_collection(c.roms, result.records, by, 1, core::null_progress());
        if (build)
            lists::build_result(result, c.roms, true, core::null_progress());
        benchmark::DoNotOptimize(result.matched);
        state.PauseTiming();
        { auto gone = std::move(result); } // freeing is not the scan's work
        state.ResumeTiming();
    }
    state.counters["files"] = static_cast<double>(2 * entries);
    state.counters["per_file_ns"] = benchmark::Counter(
        static_cast<double>(2 * entries),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_MatchByChecksum(benchmark::State& state) {
    match_and_build(state, lists::MatchBy::Checksum);
}
void BM_MatchByFilename(benchmark::State& state) {
    match_and_build(state, lists::MatchBy::Filename);
}

void BM_MatchOnlyByChecksum(benchmark::State& state) {
    match_and_build(state, lists::MatchBy::Checksum, false);
}
BENCHMARK(BM_MatchOnlyByChecksum)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchByChecksum)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchByFilename)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
