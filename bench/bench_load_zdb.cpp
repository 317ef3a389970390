// Full load of a 200,000-entry database (written once with write_zdb into a temporary
// folder). Target: under 50 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>

#include "temp_dir.h"
#include "zdb.h"
#include "zdb_bench_data.h"
#include "zdb_writer.h"

namespace {

const std::filesystem::path& database() {
    static testsupport::TempDir dir;
    static const std::filesystem::path path = [] {
        auto p = dir.path() / "SGENESIS.zdb";
        auto ok = core::write_zdb(p, 2, benchdata::sample_header(), benchdata::sample_roms(200000));
        if (!ok)
            throw std::runtime_error(ok.error().message);
        return p;
    }();
    return path;
}

void BM_LoadZdbFull(benchmark::State& state) {
    const auto& path = database();
    for (auto _ : state) {
        core::RomTable roms;
        core::ZdbHeader h = core::load_zdb(path, core::kZdbFull, &roms);
        if (!h.usable() || roms.size() != 200000)
            state.SkipWithError("the database did not load");
        benchmark::DoNotOptimize(roms.data());
    }
    state.SetItemsProcessed(state.iterations() * 200000);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_LoadZdbFull)->Unit(benchmark::kMillisecond);

void BM_LoadZdbHeaderOnly(benchmark::State& state) {
    const auto& path = database();
    for (auto _ : state)
        benchmark::DoNotOptimize(core::load_zdb(path, core::kZdbHeaderOnly));
}
BENCHMARK(BM_LoadZdbHeaderOnly)->Unit(benchmark::kMicrosecond);

void BM_SortByCrc(benchmark::State& state) {
    core::RomTable loaded;
    (void)core::load_zdb(database(), core::kZdbFull, &loaded);
    for (auto _ : state) {
        state.PauseTiming();
        core::RomTable roms = loaded;
        state.ResumeTiming();
        core::sort_roms_by_field(roms, core::kFieldCrc);
        benchmark::DoNotOptimize(roms.data());
    }
}
BENCHMARK(BM_SortByCrc)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
