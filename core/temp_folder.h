#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "result.h"

namespace core {

/// A private folder (mode 0700) under the system's temporary folder, removed with
/// everything in it when the object goes. It holds an exclusive flock on the folder for its
/// whole life, so that a sweep can tell it from the litter of a killed run.
class TempFolder {
public:
    static Result<TempFolder> create(std::string_view prefix = "zelkon");
    /// Removes the `prefix-XXXXXX` folders under the temporary folder that a killed run left:
    /// only folders of ours that no live run (of any process) holds locked. The count of those
    /// that held something; empty ones go uncounted.
    static std::size_t remove_stale(std::string_view prefix);
    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return m_path; }
    /// A new empty file in the folder with a unique name ending in `suffix`.
    Result<std::filesystem::path> new_file(std::string_view suffix = "") const;

private:
    TempFolder(std::filesystem::path path, int lock) : m_path(std::move(path)), m_lock(lock) {}
    void remove();
    std::filesystem::path m_path;
    int m_lock = -1; ///< the folder, opened and flocked
};

/// Removes a file when it goes (errors ignored), unless released.
class RemoveOnExit {
public:
    explicit RemoveOnExit(std::filesystem::path path) : m_path(std::move(path)) {}
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;
    ~RemoveOnExit();
    void release() { m_path.clear(); }

private:
    std::filesystem::path m_path;
};

/// Takes an exclusive flock on `fd` (a file or folder just made at `path`), waiting while a
/// sweep holds it; false when the sweep removed it first and `path` names it no more.
bool lock_as_ours(int fd, const std::filesystem::path& path);

/// Removes the entries of `folder` named `prefix` and six letters or digits (the names
/// mkstemp and mkdtemp make) that are of the kind asked for, owned by this user and not
/// locked by anyone: the litter of a killed run. The count removed, leaving out empty folders.
std::size_t remove_unlocked(const std::filesystem::path& folder, std::string_view prefix,
                            bool folders);

} // namespace core
