#pragma once

// Fixture pieces that several core and helper-library tests share.

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "progress.h"
#include "zelcore_library.h"

namespace corefixture {

/// Keeps the log, hands the bytes of a copy to `on_bytes`, counts the looks at Stop and
/// asks for it once `stop` is set or from look `stop_at` on (never when 0).
class ProgressProbe final : public core::Progress {
public:
    void status(std::string_view) override {}
    void log(std::string_view text) override { logged += text; }
    void step(std::size_t, std::size_t) override {}
    void bytes(std::uint64_t done, std::uint64_t total) override {
        if (on_bytes)
            on_bytes(done, total);
    }
    bool stop_requested() const override {
        ++looks;
        return stop || (stop_at > 0 && looks >= stop_at);
    }

    std::string logged;
    std::function<void(std::uint64_t, std::uint64_t)> on_bytes;
    bool stop = false;
    long stop_at = 0;
    mutable long looks = 0;
};

/// A new folder on another file system than `here` (/dev/shm), or empty when there is none.
inline std::filesystem::path other_file_system(const std::filesystem::path& here,
                                               const std::string& name) {
    struct stat a {
    }, b{};
    if (::stat(here.c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        return {};
    const auto folder = std::filesystem::path("/dev/shm") / (name + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

/// Runs `body` in a child process whose files cannot grow past `bytes`; true when it
/// returned true there.
inline bool in_child_with_file_limit(rlim_t bytes, const std::function<bool()>& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const struct rlimit limit = {bytes, bytes};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(body() ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

/// The helper library beside the test program, loaded once; null when it is not there.
inline const core::Zelcore* helper_library() {
    static const auto loaded = core::Zelcore::load_beside_executable();
    return loaded ? &*loaded : nullptr;
}

} // namespace corefixture
