#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

#include "registration_ledger.h"
#include "result.h"

namespace zelshell {

/// A file the registration wants, with its bytes and mode.
struct WantedFile {
    std::filesystem::path path;
    std::string bytes;
    mode_t mode = 0644;
};

/// Writes and removes files for the registration, recording in the ledger what it made,
/// and never replacing or removing what is not ours:
/// - a file of another's (not in the ledger) stays as it is, even when it has other bytes;
/// - a file of ours that the user changed since we wrote it stays as the user left it
///   (their change is what they want; the notice tells them it was kept).
/// What was kept is told through `notices`.
class FileKeeper {
public:
    FileKeeper(Ledger& ledger, std::vector<std::string>& notices)
        : m_ledger(ledger), m_notices(notices) {}

    /// Makes the folder and its missing parents, recording those it made.
    core::Status make_folder(const std::filesystem::path& folder);
    /// Writes the file when it is missing or an older one of ours; rights the mode of ours.
    /// True when the bytes were written.
    core::Result<bool> place(const WantedFile& file);
    /// Removes a file of ours unless the user changed it; forgets it either way.
    /// True when it was removed.
    core::Result<bool> remove(const std::filesystem::path& path);
    /// Removes the files of ours that are not among `wanted` (left from an earlier
    /// registration); true when any was removed.
    core::Result<bool> remove_others(const std::vector<WantedFile>& wanted);
    /// Removes the folders we made that are empty now, deepest first, and forgets them.
    void remove_empty_folders();

    Ledger& ledger() { return m_ledger; }
    void notice(std::string text) { m_notices.push_back(std::move(text)); }

private:
    Ledger& m_ledger;
    std::vector<std::string>& m_notices;
};

} // namespace zelshell
