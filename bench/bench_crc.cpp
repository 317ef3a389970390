// The CRC of a page-cached file through libzelcore against what reading alone costs.
//
//   BM_read_loop/N      read() into an N-byte buffer, nothing else: the floor (like cat)
//   BM_read_crc_loop/N  the same plus the CRC engine on each buffer: picks the buffer size
//   BM_file_crc32       the library's own loop
//   BM_small_files      64 KiB files one after another: the cost of open/read/close per file
//
// ZELKON_BENCH_MIB sets the size of the big file (default 512).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include "rom_forge.h"
#include "temp_dir.h"
#include "zelcore_library.h"

namespace {

constexpr std::size_t kSmallFiles = 2000;
constexpr std::size_t kSmallSize = 64 * 1024;

struct Fixture {
    testsupport::TempDir dir;
    std::filesystem::path big;
    std::int64_t big_size = 0;
    std::vector<std::filesystem::path> small;

    Fixture() {
        const char* mib = std::getenv("ZELKON_BENCH_MIB");
        big_size = (mib != nullptr ? std::atoll(mib) : 512) * 1024 * 1024;
        const std::string chunk = testsupport::rom_with_crc(16 * 1024 * 1024, 0x12345678);
        big = dir.path() / "big.bin";
        {
            const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            for (std::int64_t done = 0; done < big_size;
                 done += static_cast<std::int64_t>(chunk.size()))
                if (::write(fd, chunk.data(), chunk.size()) < 0)
                    std::abort();
            ::close(fd);
        }
        const std::string rom = testsupport::rom_with_crc(kSmallSize, 0xABCDEF01);
        for (std::size_t i = 0; i < kSmallFiles; ++i)
            small.push_back(dir.write(
                "small/" + std::to_string(i % 20) + "/" + std::to_string(i) + ".bin", rom));
        read_all(big, 1 << 20); // into the page cache
    }

    static std::int64_t read_all(const std::filesystem::path& path, std::size_t buffer_size) {
        std::unique_ptr<char[]> buffer(new char[buffer_size]);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        std::int64_t total = 0;
        for (ssize_t got; (got = ::read(fd, buffer.get(), buffer_size)) > 0;)
            total += got;
        ::close(fd);
        return total;
    }
};

const Fixture& fixture() {
    static const Fixture f;
    return f;
}

const core::Zelcore& zelcore() {
    static const core::Zelcore z = [] {
        auto loaded = core::Zelcore::load_beside_executable();
        if (!loaded)
            std::abort();
        return std::move(loaded).value();
    }();
    return z;
}

using CrcEngine = std::uint32_t (*)(std::uint32_t, const unsigned char*, std::uint64_t);

CrcEngine isal_engine() {
    static const CrcEngine engine = [] {
        void* handle = dlopen("libisal.so.2", RTLD_NOW | RTLD_LOCAL);
        return handle ? reinterpret_cast<CrcEngine>(dlsym(handle, "crc32_gzip_refl")) : nullptr;
    }();
    return engine;
}

void BM_read_loop(benchmark::State& state) {
    const auto& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            Fixture::read_all(f.big, static_cast<std::size_t>(state.range(0))));
    state.SetBytesProcessed(state.iterations() * f.big_size);
}

void BM_read_crc_loop(benchmark::State& state) {
    const auto& f = fixture();
    const CrcEngine engine = isal_engine();
    if (engine == nullptr) {
        state.SkipWithError("libisal.so.2 is not installed");
        return;
    }
    const auto size = static_cast<std::size_t>(state.range(0));
    auto* buffer = static_cast<unsigned char*>(std::aligned_alloc(4096, size));
    for (auto _ : state) {
        const int fd = ::open(f.big.c_str(), O_RDONLY | O_CLOEXEC);
        std::uint32_t crc = 0;
        for (ssize_t got; (got = ::read(fd, buffer, size)) > 0;)
            crc = engine(crc, buffer, static_cast<std::uint64_t>(got));
        ::close(fd);
        benchmark::DoNotOptimize(crc);
    }
    std::free(buffer);
    state.SetBytesProcessed(state.iterations() * f.big_size);
}

void BM_file_crc32(benchmark::State& state) {
    const auto& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(zelcore().file_crc32(f.big, 0, f.big_size));
    state.SetBytesProcessed(state.iterations() * f.big_size);
}

void BM_small_files(benchmark::State& state) {
    const auto& f = fixture();
    for (auto _ : state)
        for (const auto& path : f.small)
            benchmark::DoNotOptimize(
                zelcore().file_crc32(path, 0, static_cast<std::int64_t>(kSmallSize)));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.small.size()));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(f.small.size() * kSmallSize));
}

void buffer_sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t kib : {64, 128, 256, 512, 1024, 2048, 4096})
        b->Arg(kib * 1024);
}

} // namespace

BENCHMARK(BM_read_loop)->Apply(buffer_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_crc_loop)->Apply(buffer_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_file_crc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_file_crc32)->Threads(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_small_files)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
