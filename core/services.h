#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "result.h"
#include "zelcore_library.h"

namespace core {

class HashCache;

/// What every front end (the command-line program, the desktop program, the file-manager
/// host, the tests) makes once and hands to the engines: the home, the helper library, the
/// checksum cache and the notices that no single run owns (the cache turning itself off,
/// a database read only in part).
///
///     auto services = Services::open({.home = given_home});
///     if (!services) fail(services.error());
///     renaming::RenameContext context{*services, prompter, progress, runner};
///     auto report = renaming::rename_roms(job, context);
///     for (auto& line : services->take_notices()) show(line);
///
/// NOT thread-safe, except that the cache and the helper library it hands out may be used
/// from several threads at once. Engines call it from the thread that runs them.
class Services {
public:
    struct Options {
        /// The home given by the user (`--home`); empty: chosen as resolve_app_home says.
        std::filesystem::path home;
        /// Where libzelcore.so is; empty: beside the running program.
        std::filesystem::path zelcore_folder;
        bool use_cache = true; ///< false: every file is read, the cache is neither asked nor told
        /// The cache file; empty: `checksums.sqlite` in the home.
        std::filesystem::path cache_file;
    };

    /// Chooses the home (and makes it the process's home) and loads the helper library;
    /// fails only when the library or one of its entry points is missing. A settings file
    /// that cannot be read becomes the first notice.
    static Result<Services> open(Options options);

    Services(Services&&) noexcept;
    Services& operator=(Services&&) noexcept;
    ~Services();

    const std::filesystem::path& home() const { return m_home; }
    const Zelcore& zelcore() const { return m_zelcore; }

    /// The checksum cache, opened on first use; null when it is off for this program run.
    /// A problem with it becomes a notice and the run goes on without it.
    HashCache* cache();
    /// Commits and closes the cache; a problem at that point becomes a notice too.
    void close_cache();

    /// Adds a line the front end should show once, outside any one run's log.
    void notice(std::string text);
    /// The notices since the last call, each once.
    std::vector<std::string> take_notices();

private:
    Services(std::filesystem::path home, Zelcore zelcore, Options options);
    void collect_cache_problem();

    std::filesystem::path m_home;
    Zelcore m_zelcore;
    Options m_options;
    std::unique_ptr<HashCache> m_cache;
    std::vector<std::string> m_notices;
};

} // namespace core
