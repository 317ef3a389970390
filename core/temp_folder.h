#pragma once

#include <filesystem>

#include "result.h"

namespace core {

/// A private folder (mode 0700) under the system's temporary folder, removed with
/// everything in it when the object goes.
class TempFolder {
public:
    static Result<TempFolder> create(std::string_view prefix = "zelkon");
    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return m_path; }
    /// A new empty file in the folder with a unique name ending in `suffix`.
    Result<std::filesystem::path> new_file(std::string_view suffix = "") const;

private:
    explicit TempFolder(std::filesystem::path path) : m_path(std::move(path)) {}
    std::filesystem::path m_path;
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

} // namespace core
