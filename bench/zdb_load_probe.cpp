// zdb_load_probe --entries N: writes a database of N realistic entries into a temporary
// folder, loads it once in full and prints the time and the peak memory of the load.
//
// The database is written by a child process, so that the table built for writing never
// counts in this process's peak; the baseline is taken just before the load.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "temp_dir.h"
#include "zdb.h"
#include "zdb_bench_data.h"
#include "zdb_writer.h"

namespace {

rusage self_usage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double mib(const rusage& usage) {
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
} // KiB

double ms(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

int usage_error() {
    std::fprintf(stderr, "usage: zdb_load_probe [--entries N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t entries = 200000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--entries") == 0 && i + 1 < argc) {
            char* end = nullptr;
            entries = std::strtoull(argv[++i], &end, 10);
            if (!end || *end != '\0')
                return usage_error();
        } else {
            return usage_error();
        }
    }

    testsupport::TempDir dir;
    const auto path = dir.path() / "PROBE.zdb";
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        auto ok =
            core::write_zdb(path, 2, benchdata::sample_header(), benchdata::sample_roms(entries));
        if (!ok)
            std::fprintf(stderr, "cannot write the database: %s\n", ok.error().message.c_str());
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 1;

    const rusage before = self_usage();
    core::RomTable roms;
    const auto start = std::chrono::steady_clock::now();
    core::ZdbHeader header = core::load_zdb(path, core::kZdbFull, &roms);
    const auto stop = std::chrono::steady_clock::now();
    const rusage after = self_usage();
    if (!header.usable() || roms.size() != entries) {
        std::fprintf(stderr, "the database did not load: %s (%zu entries)\n", header.error.c_str(),
                     roms.size());
        return 1;
    }
    const double wall = std::chrono::duration<double, std::milli>(stop - start).count();
    std::printf("load_zdb %zu entries: %.1f ms, peak RSS %.1f MiB (baseline %.1f MiB)\n", entries,
                wall, mib(after), mib(before));
    // On a busy machine the wall time says little; the processor time of the load does.
    std::printf("cpu: user %.1f ms, system %.1f ms, minor page faults %ld\n",
                ms(after.ru_utime) - ms(before.ru_utime), ms(after.ru_stime) - ms(before.ru_stime),
                after.ru_minflt - before.ru_minflt);
    return 0;
}
