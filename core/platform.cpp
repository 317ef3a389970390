#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>
#include <thread>

#include <ifaddrs.h>
#include <net/if.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace core {
namespace {

namespace fs = std::filesystem;

constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

// Owns the attributes and file actions so every exit path releases them.
class SpawnSetup {
public:
    SpawnSetup() {
        m_ok = posix_spawnattr_init(&m_attr) == 0;
        m_ok = posix_spawn_file_actions_init(&m_actions) == 0 && m_ok;
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // The child starts with clean signal handling: our mask and an ignored SIGPIPE
    // would otherwise be inherited and confuse ordinary programs.
    bool prepare(const fs::path& working_folder) {
        if (!m_ok)
            return false;
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        if (posix_spawnattr_setsigmask(&m_attr, &none) != 0 ||
            posix_spawnattr_setsigdefault(&m_attr, &defaults) != 0 ||
            posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0)
            return false;
        return working_folder.empty() ||
               posix_spawn_file_actions_addchdir_np(&m_actions, working_folder.c_str()) == 0;
    }
    const posix_spawnattr_t* attr() const { return &m_attr; }
    const posix_spawn_file_actions_t* actions() const { return &m_actions; }

private:
    posix_spawnattr_t m_attr{};
    posix_spawn_file_actions_t m_actions{};
    bool m_ok = false;
};

// True once the child has ended (and is reaped).
bool reaped(pid_t pid) {
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    return r != 0; // ended, or not ours to wait for any more
}

// A program that outlives the wait still has to be reaped when it ends, or it would stay
// behind as a zombie for as long as we run.
void reap_later(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

fs::path nearest_existing(const fs::path& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec)
        return {};
    while (!fs::exists(p, ec) && p.has_relative_path())
        p = p.parent_path();
    return p;
}

} // namespace

std::string_view strip_at_nul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

bool run_and_wait(const std::vector<std::string>& argv, const fs::path& working_folder,
                  std::chrono::milliseconds timeout) {
    if (argv.empty())
        return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.prepare(working_folder))
        return false;
    pid_t pid = 0;
    // glibc reports a failed chdir or exec of the child here, so "cannot start" is exact.
    if (posix_spawnp(&pid, args[0], setup.actions(), setup.attr(), args.data(), environ) != 0)
        return false;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reaped(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            reap_later(pid);
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

namespace {

std::vector<std::string> split_at_blanks(std::string_view text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(" \t", at)) != std::string_view::npos) {
        const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        words.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

} // namespace

bool open_in_text_viewer(const fs::path& file) {
    // A viewer is a program of its own: we only wait to learn that it started.
    constexpr auto kNoWait = std::chrono::milliseconds(0);
    if (const char* visual = std::getenv("VISUAL")) {
        auto argv = split_at_blanks(visual);
        if (!argv.empty()) {
            argv.push_back(file.string());
            if (run_and_wait(argv, {}, kNoWait))
                return true;
        }
    }
    return run_and_wait({"xdg-open", file.string()}, {}, kNoWait);
}

std::string get_short_path(std::string_view path) {
    return std::string(path);
}

bool is_online() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool online = false;
    for (const ifaddrs* ifa = list; ifa && !online; ifa = ifa->ifa_next) {
        const unsigned flags = ifa->ifa_flags;
        const bool usable = (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
        // Link-layer entries (AF_PACKET) exist for every interface, even one with no
        // network address; only an IP address means there is somewhere to connect to.
        const bool addressed = ifa->ifa_addr && (ifa->ifa_addr->sa_family == AF_INET ||
                                                 ifa->ifa_addr->sa_family == AF_INET6);
        online = usable && addressed;
    }
    ::freeifaddrs(list);
    return online;
}

bool is_cdrom(const fs::path& path) {
    if (path.empty())
        return false;
    const fs::path existing = nearest_existing(path);
    struct statfs info {};
    if (existing.empty() || ::statfs(existing.c_str(), &info) != 0)
        return false;
    const auto type = static_cast<long>(info.f_type);
    return type == kIso9660Magic || type == kUdfMagic;
}

// Walks up while the parent is on the same device: the last folder before the device
// changes is where the disc is mounted.
fs::path mount_root(const fs::path& path) {
    fs::path at = nearest_existing(fs::absolute(path).lexically_normal());
    struct stat st {};
    if (at.empty() || ::stat(at.c_str(), &st) != 0)
        return {};
    const dev_t device = st.st_dev;
    while (at.has_relative_path()) {
        fs::path parent = at.parent_path();
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        at = std::move(parent);
    }
    return at;
}

} // namespace core
