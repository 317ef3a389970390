#pragma once

#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "result.h"

namespace update {

/// Files written beside their targets under private names, then renamed into place
/// together by commit(): a run that stops or fails before that leaves every target as it
/// was. Whatever was not committed is removed with the object.
class StagedFiles {
public:
    StagedFiles() = default;
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    /// Writes `bytes` with `mode` to a new file beside `target` ("<target>.tmp-XXXXXX"),
    /// flushed to disk. A failure leaves no file.
    core::Status stage(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

    /// Renames every staged file over its target in the order staged, then flushes their
    /// folders. A failed rename stops there; the files not yet in place are removed.
    core::Status commit();

private:
    void remove_staged();

    std::vector<std::pair<std::filesystem::path, std::filesystem::path>>
        m_files; ///< {temp, target}
};

} // namespace update
